%
O3000
$FEED 200
$PITCH
$TOOL T01
#INCLUDE ..\COMMON.DEF
(√Ωƒ â¡çH) g01 x1. fFEED gotoo
#1=[#2+[#3*2]
TOOL M06
#IF OPT
M30
%
