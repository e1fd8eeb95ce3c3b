%
O6000
$AB 1
$CD 5
$CD 5
$AB 2
G00 XAB
M30
%
