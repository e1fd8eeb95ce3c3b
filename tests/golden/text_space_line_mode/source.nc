$R #5
  G01 X10. Y20. (MOVE TO A)
A (B C) D (E F
G00 X R (SET R)
X[R+1] Y R
M30 
