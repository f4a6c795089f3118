; An error inside a macro names the macro and the line within it.
load    macro   reg, value
        mov     reg, value
        mov     reg, undefinedthing
        endm
code    segment
        assume  cs:code
        load    ax, 1
        load    bl, 2
code    ends
        end
