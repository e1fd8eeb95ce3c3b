%
O1000 (’è‹`)
#5=b+1
$PITCH 1.5
$PITCH2  2.5 
$TBL 500
$ORG #101 + 2
$a #500
$b 7
$PITCH 1.5
G00 X0 Y0
G01 Z-PITCH F100
G01 Z-PITCH2
#1=@TBL[3]
#2=@TBL[#1]+ORG
#3=a+1
IF[a GT 0]GOTO10
#4=@a[2]
#6=ABS[b]
#7=b
N10 M30
%
