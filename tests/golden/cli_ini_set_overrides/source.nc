%
O1000 ;hex and a definition
@DEPTH -0x2
G01 Z[DEPTH] X0x10
M30
%
