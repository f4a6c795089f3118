t 6
p
t 2
p
g 33
t
t 2
p
g 36
g
g
q
