e 100 b4 09 ba 09 01 cd 21 c3 "Hello, world!$ !" 22 23 24 25 26 27 28 29
d 100 L 20
d 105 L 14
d 108 L 10
d
u 100 L 8
u
f 180 L 30 ff 00 7f
d 170 1af
r
q
