; INCLUDE, conditional assembly with a /d define, and line numbers (/zd).
        include DEFS.INC
code    segment
        assume  cs:code
start:
IFDEF DEBUG
        mov     ax, DEBUG
ELSE
        mov     ax, 0
ENDIF
IF MAXLEN GT 10
        mov     cx, MAXLEN
ENDIF
IFE MAXLEN - 16
        nop
ENDIF
        exitcode 3
code    ends
        end     start
