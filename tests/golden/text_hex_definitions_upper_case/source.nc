$FEED 0x64
$TOP 0X0A
$DEPTH -1.5
o8000 (hex, definitions, upper case)
g00 zTOP
g01 zDEPTH fFEED
#1=TOP+0x10
m30
