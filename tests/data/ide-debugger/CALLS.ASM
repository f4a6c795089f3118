; Nested near calls, for the stack view: the return addresses lie on the stack.
stack   segment stack
        dw      64 dup(?)
stack   ends
code    segment
        assume  cs:code, ss:stack
start:  mov     ax, 1234h
        push    ax
        call    outer
        pop     ax
        mov     ax, 4C00h
        int     21h
outer   proc    near
        call    inner
        ret
outer   endp
inner   proc    near
        nop
        ret
inner   endp
code    ends
        end     start
