; Main module of a two-module program in NASM syntax: calls a far routine and a near routine
; in another module, uses a DGROUP variable defined there and sets up its own stack.
        extern  PRINTMSG        ; far procedure in module NLIB
        extern  COUNTER         ; word in NLIB's data segment (DGROUP)
        extern  NEARHELP        ; near procedure in the shared code segment
        global  START

segment _TEXT public class=CODE
START:
..start:
        mov     ax, DGROUP
        mov     ds, ax
        inc     word [COUNTER]
        mov     dx, msg
        call    far PRINTMSG
        mov     dx, msg
        call    far [cs:farptr]
        call    NEARHELP        ; AL = the counter, 42: the exit code
        jmp     short .done
.done:
        mov     ah, 4Ch
        int     21h
farptr: dw      PRINTMSG, seg PRINTMSG

segment _DATA public class=DATA
msg:    db      'Hello from two modules', 0Dh, 0Ah, '$'

segment STACK stack class=STACK
        resb    256

group DGROUP _DATA
