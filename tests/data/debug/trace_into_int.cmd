t 2
t
u f000:1108 L 4
t 3
q
