.fill 1 - a
a:
MOV.8 #300, r99
.bogus
ADD.I32 r0
