%
#INCLUDE /dev/null
G00 X0
%
