%
AB1.
#1=0X10+AB
G00X0
%
