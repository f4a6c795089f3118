; Simplified segments, publics and externals, far calls, SEG and group overrides.
        .model  small
        .stack  200h
        extrn   helper:near, farfunc:far, counter:word
        public  main, table
        .data
table   dw      1, 2, 3
        .const
pi      dw      314
        .code
main    proc
        mov     ax, @data
        mov     ds, ax
        mov     ax, seg table
        mov     bx, offset dgroup:table
        call    helper
        call    farfunc
        call    local1
        mov     ax, counter
        mov     ax, pi
        mov     ax, 4C00h
        int     21h
main    endp
local1  proc    far
        ret
local1  endp
        end     main
