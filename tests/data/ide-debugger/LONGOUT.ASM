; Prints 1525 characters with one call of the string output function, so that one step's
; reply is longer than one read of the pipe.
data    segment
text    db      'line 00 of the long output                                 ', 0Dh, 0Ah
        db      'line 01 of the long output                                 ', 0Dh, 0Ah
        db      'line 02 of the long output                                 ', 0Dh, 0Ah
        db      'line 03 of the long output                                 ', 0Dh, 0Ah
        db      'line 04 of the long output                                 ', 0Dh, 0Ah
        db      'line 05 of the long output                                 ', 0Dh, 0Ah
        db      'line 06 of the long output                                 ', 0Dh, 0Ah
        db      'line 07 of the long output                                 ', 0Dh, 0Ah
        db      'line 08 of the long output                                 ', 0Dh, 0Ah
        db      'line 09 of the long output                                 ', 0Dh, 0Ah
        db      'line 10 of the long output                                 ', 0Dh, 0Ah
        db      'line 11 of the long output                                 ', 0Dh, 0Ah
        db      'line 12 of the long output                                 ', 0Dh, 0Ah
        db      'line 13 of the long output                                 ', 0Dh, 0Ah
        db      'line 14 of the long output                                 ', 0Dh, 0Ah
        db      'line 15 of the long output                                 ', 0Dh, 0Ah
        db      'line 16 of the long output                                 ', 0Dh, 0Ah
        db      'line 17 of the long output                                 ', 0Dh, 0Ah
        db      'line 18 of the long output                                 ', 0Dh, 0Ah
        db      'line 19 of the long output                                 ', 0Dh, 0Ah
        db      'line 20 of the long output                                 ', 0Dh, 0Ah
        db      'line 21 of the long output                                 ', 0Dh, 0Ah
        db      'line 22 of the long output                                 ', 0Dh, 0Ah
        db      'line 23 of the long output                                 ', 0Dh, 0Ah
        db      'line 24 of the long output                                 ', 0Dh, 0Ah
        db      '$'
data    ends
code    segment
        assume  cs:code, ds:data
start:  mov     ax, data
        mov     ds, ax
        mov     dx, offset text
        mov     ah, 09h
        int     21h
        mov     ax, 4C00h
        int     21h
code    ends
        end     start
