$CNT #101
$LIMIT #102
$STEP 0.5
$D #110
o2000 (ƒJƒEƒ“ƒ^)
CNT = 0
LIMIT = 10
D = abs[#5]
n10 CNT = CNT + STEP ;count up
#103 = CNT * sin[#104]
if [CNT lt LIMIT] goto 10
if [CNT ne LIMIT] goto 20
#3000 = 1 (¶³ÝÄ ´×°)
n20 goto 30
n30 m30
