g01 x1 ;a
