g01 x1 ;a
	M30
