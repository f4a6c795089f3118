; A counted loop of 100,000 instructions (25,000 rounds of four), then a line to stop at.
code    segment
        assume  cs:code
start:  mov     dx, 25000
again:  mov     ax, dx
        add     ax, 1
        dec     dx
        jnz     again
done:   mov     ax, 4C00h
        int     21h
code    ends
        end     start
