%
O0001Å
G01 X1.Ç Y2.Åa
#1=0x1fÉ
Ñ#2=#1+1
IF[#1GT#2]GOTO10ü
#3000=1(ÅALARM‡)
$ABÅ 12.
$C 7Å
G01 XABÅ YC
Å;comment after a lead byte
Å	ÇÉ
(Ç\)
M30Å