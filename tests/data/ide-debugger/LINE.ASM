; Reads a line with the buffered input function and prints its length as a letter (A = 0).
data    segment
buf     db      20, 0, 20 dup(0)
data    ends
code    segment
        assume  cs:code, ds:data
start:  mov     ax, data
        mov     ds, ax
        mov     dx, offset buf
        mov     ah, 0Ah
        int     21h
        mov     dl, buf+1
        add     dl, 'A'
        mov     ah, 02h
        int     21h
        mov     ax, 4C00h
        int     21h
code    ends
        end     start
