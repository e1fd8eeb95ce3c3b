%
$AB 1.
#1=0x10+AB
G00 X0
%
