AB
C
