p 6
p
abc
p 3
g
t
q
