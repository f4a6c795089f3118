; KEYS.COM: reads the keyboard three ways while its own INT 9 handler watches the scan codes.
; 1. "Line? " and a line through INT 21h AH=0Ah, echoed back as "Got <line>".
; 2. "Keys? " and keys through INT 16h AH=00h until Esc, each shown as its AX in hex.
; 3. "INT9 " and how many key presses the INT 9 hook saw, in hex, and the last make code.
; Ends with the number of INT 16h keys as its exit code. nasm -f bin -o KEYS.COM KEYS.ASM
        org 100h
        mov ax, 3509h
        int 21h
        mov [old9], bx
        mov [old9+2], es
        mov dx, int9
        mov ax, 2509h
        int 21h

        mov dx, askLine
        mov ah, 9
        int 21h
        mov dx, buffer
        mov ah, 0Ah
        int 21h
        mov dx, got
        mov ah, 9
        int 21h
        mov bl, [buffer+1]
        mov bh, 0
        mov byte [buffer+2+bx], '$'
        mov dx, buffer+2
        mov ah, 9
        int 21h

        mov dx, askKeys
        mov ah, 9
        int 21h
        xor si, si
keyloop: mov ah, 0
        int 16h
        cmp ax, 011Bh
        je keysdone
        inc si
        call hexword
        mov dl, ' '
        mov ah, 2
        int 21h
        jmp keyloop
keysdone:
        mov dx, int9msg
        mov ah, 9
        int 21h
        mov ax, [cs:makes]
        call hexword
        mov dl, ' '
        mov ah, 2
        int 21h
        mov al, [cs:last]
        mov ah, 0
        call hexword
        mov dx, crlf
        mov ah, 9
        int 21h

        push ds
        lds dx, [old9]
        mov ax, 2509h
        int 21h
        pop ds
        mov ax, si
        mov ah, 4Ch
        int 21h

; prints AX as four hex digits
hexword: push ax
        mov cx, 4
.next:  rol ax, 1
        rol ax, 1
        rol ax, 1
        rol ax, 1
        push ax
        and al, 0Fh
        add al, '0'
        cmp al, '9'
        jbe .digit
        add al, 7
.digit: mov dl, al
        mov ah, 2
        int 21h
        pop ax
        loop .next
        pop ax
        ret

int9:   push ax
        in al, 60h
        test al, 80h
        jnz .release
        inc word [cs:makes]
        mov [cs:last], al
.release:
        pop ax
        jmp far [cs:old9]

old9    dw 0, 0
makes   dw 0
last    db 0
askLine db 'Line? $'
got     db 13, 10, 'Got $'
askKeys db 13, 10, 'Keys? $'
int9msg db 13, 10, 'INT9 $'
crlf    db 13, 10, '$'
buffer  db 40, 0
        times 42 db 0
