a 100
mov bx,10
es:
mov ax,[bx]
rep movsb
lock
inc word ptr [bx]
mov al,[bp+2]

e 10 cd 20
r
t
r
t
r
t
t
q
