; Main module in TASM syntax for the NASM module NLIB: a far call, a near call into the shared
; _TEXT segment and a DGROUP word from the other module. Exits with the counter (42) as its code.
        .model  small
        .stack  100h
        extrn   PRINTMSG:far, NEARHELP:near, COUNTER:word

        .data
msg     db      'Hello from TASM and NASM', 0Dh, 0Ah, '$'

        .code
start:  mov     ax, @data
        mov     ds, ax
        inc     COUNTER
        mov     dx, offset msg
        call    PRINTMSG
        call    NEARHELP
        mov     ah, 4Ch
        int     21h
        end     start
