; Library module: a far print routine in its own code segment, a near helper in _TEXT and a
; counter in DGROUP.
        global  PRINTMSG
        global  COUNTER
        global  NEARHELP

segment LIBCODE public class=CODE
PRINTMSG:
        push    ds
        mov     ax, DGROUP
        mov     ds, ax
        mov     ah, 09h
        int     21h
        pop     ds
        retf

segment _TEXT public class=CODE
NEARHELP:
        mov     ax, [COUNTER]
        ret

segment _DATA public class=DATA
COUNTER: dw     41
        times 4 dw 0

group DGROUP _DATA
