; Instructions with a segment override and a repeat prefix, each shown by DEBUG on two lines.
data    segment
src     db      'prefix'
dst     db      6 dup(0)
data    ends
code    segment
        assume  cs:code, ds:data, es:data
start:  mov     ax, data
        mov     ds, ax
        mov     es, ax
        mov     bx, 0
        mov     al, es:[bx]
        mov     si, offset src
        mov     di, offset dst
        mov     cx, 6
        cld
        rep     movsb
        mov     ax, 4C00h
        int     21h
code    ends
        end     start
