e 100 bb 20 01 ff 17 ff 57 02 b9 03 00 e2 fe f3 a4 cd 20
e 120 30 01 30 01
e 130 c3
u 100 L 11
p
p
p
p
p
p
p
p
q
