%
o1000 (hex constants)
#100=0x1f ;mask
#101=0XFF+0x10
#102=0xffffffff
#103=0x80000000
g00 x0 y0
g01 z-1. f0x64
#1=0x1 #2=0x1f
G00X0 G0X10
(Øí ƒaƒx 0x10)
m30
%
