; The mistakes students make most often, one per line.
data    segment
bytev   db      1
wordv   dw      2
data    ends
code    segment
        assume  cs:code, ds:data
start:  mov     dx, offset msgg
        movx    ax, bx
        push    1234h
        mov     ax, bl
        mov     ax, bytev
        mov     [bx], 1
        inc     [bx]
        mov     ds, 1234h
        mov     ax, [bx+bp]
        jz      faraway
        db      130 dup(0)
faraway:
start:  nop
        shl     ax, bl
        out     dx, bl
        in      al, bx
        mov     ax, 5 6
        mov     ax, [bx
        mov     ax, (3
        mov     al, 300
        mov     al, 'abc
open    proc
code    ends
        end     start
