$R #5
 O6000 
G00 X0 Y0
X R Y 1.
   
M30
