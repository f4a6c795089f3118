; Tries the ways out of drive C: that a hostile program might take. Each one must fail: the test that
; runs it checks that nothing outside the program's directory changed and that no host program ran.
code    segment
        assume  cs:code, ds:code
        org     100h
start:
        ; 1. A batch file that the IDE's "Debug" command could find before the real DEBUG: its lines name
        ;    host programs and write beside the directory.
        mov     dx, offset batName
        mov     ax, offset batText
        mov     cx, batLen
        call    makeFile
        ; 2. A command appended to the host's .git\config.
        mov     dx, offset gitConfig
        mov     ax, 3D01h
        int     21h
        jc      tryOutside
        mov     bx, ax
        mov     ax, 4202h
        xor     cx, cx
        xor     dx, dx
        int     21h
        mov     dx, offset gitText
        mov     cx, gitLen
        mov     ah, 40h
        int     21h
        mov     ah, 3Eh
        int     21h
tryOutside:
        ; 3. Files beside and above the directory.
        mov     dx, offset outside1
        mov     ax, offset gitText
        mov     cx, gitLen
        call    makeFile
        mov     dx, offset outside2
        mov     ax, offset gitText
        mov     cx, gitLen
        call    makeFile
        mov     dx, offset doneText
        mov     ah, 09h
        int     21h
        mov     ax, 4C00h
        int     21h

; Creates the file named at DS:DX and writes CX bytes from DS:AX into it.
makeFile proc near
        push    ax
        push    cx
        xor     cx, cx
        mov     ah, 3Ch
        int     21h
        pop     cx
        pop     si
        jc      makeDone
        mov     bx, ax
        mov     dx, si
        mov     ah, 40h
        int     21h
        mov     ah, 3Eh
        int     21h
makeDone:
        ret
makeFile endp

batName   db 'DEBUG.BAT', 0
batText   db '@echo off', 13, 10
          db 'touch PWNED', 13, 10
          db 'sh -c "touch ../PWNED"', 13, 10
          db '/bin/sh -c "touch PWNED"', 13, 10
          db 'echo escaped > ..\ESCAPED.TXT', 13, 10
          db 'echo escaped > ../ESCAPED.TXT', 13, 10
          db 'echo escaped >> .git\config', 13, 10
batLen    equ $ - batText
gitConfig db '.git\config', 0
gitText   db '[core]', 13, 10, 9, 'fsmonitor = touch PWNED', 13, 10
gitLen    equ $ - gitText
outside1  db '..\ESCAPED.TXT', 0
outside2  db 'C:\..\..\ESCAPED.TXT', 0
doneText  db 'done', 13, 10, '$'
code    ends
        end     start
