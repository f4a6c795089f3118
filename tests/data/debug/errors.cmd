xyz
d 100 zz
r zz
r f
zz
r f
cy nc
g 1 2 3 4 5 6 7 8 9 a b
a 100
mov ax,zz

n
w
n x.exe
w
l
q
