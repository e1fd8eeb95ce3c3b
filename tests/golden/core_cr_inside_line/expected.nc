AB
C
