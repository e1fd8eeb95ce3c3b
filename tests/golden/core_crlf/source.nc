O1000
G01 x10	;feed
;full line
M30
