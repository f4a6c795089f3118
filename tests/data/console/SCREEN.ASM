; SCREEN.COM: draws straight into video memory at B800h: a double-line box with a single-line divider,
; a line of text in each of the 16 colours, blinking text, shade and block characters, and a GBK
; string; then puts the cursor below the drawing and ends. nasm -f bin -o SCREEN.COM SCREEN.ASM
        org 100h
        mov ax, 0B800h
        mov es, ax
        cld
; the box: rows 1-7, columns 2-41, double lines, yellow on blue
        mov di, (1*80+2)*2
        mov ax, 1EC9h           ; top left
        stosw
        mov al, 0CDh
        mov cx, 38
        rep stosw
        mov al, 0BBh
        stosw
        mov bx, 2
sides:  mov ax, bx
        mov dx, 160
        mul dx
        mov di, ax
        add di, 2*2
        mov ax, 1EBAh
        stosw
        mov ax, 1E20h
        mov cx, 38
        rep stosw
        mov ax, 1EBAh
        stosw
        inc bx
        cmp bx, 7
        jb sides
; divider at row 4: ╟───╢
        mov di, (4*80+2)*2
        mov ax, 1EC7h
        stosw
        mov al, 0C4h
        mov cx, 38
        rep stosw
        mov al, 0B6h
        stosw
; bottom: ╚═══╝
        mov di, (7*80+2)*2
        mov ax, 1EC8h
        stosw
        mov al, 0CDh
        mov cx, 38
        rep stosw
        mov al, 0BCh
        stosw
; title inside the box, white on blue
        mov si, title
        mov di, (2*80+4)*2
        mov ah, 1Fh
        call puts
; GBK text inside the box, light green on blue
        mov si, chinese
        mov di, (3*80+4)*2
        mov ah, 1Ah
        call puts
; blinking red on black inside the box
        mov si, blinky
        mov di, (5*80+4)*2
        mov ah, 8Ch
        call puts
; shades and blocks
        mov si, blocks
        mov di, (6*80+4)*2
        mov ah, 1Eh
        call puts
; the 16 colours on row 9: "Colour" in each
        mov di, (9*80+2)*2
        mov ah, 0
colours: mov si, word_
        call puts
        inc ah
        cmp ah, 16
        jb colours
; backgrounds on row 10
        mov di, (10*80+2)*2
        mov ah, 0Fh
backs:  mov si, word_
        call puts
        add ah, 10h
        cmp ah, 8Fh
        jb backs
; cursor to row 12, column 0
        mov ah, 2
        mov bh, 0
        mov dx, 0C00h
        int 10h
        mov ax, 4C00h
        int 21h

puts:   lodsb
        or al, al
        jz .done
        stosw
        jmp puts
.done:  ret

title   db 'Korvash console: B800h text', 0
chinese db 0C4h, 0E3h, 0BAh, 0C3h, ',', 0CAh, 0C0h, 0BDh, 0E7h, '!', 0   ; 你好,世界!
blinky  db 'Blinking text', 0
blocks  db 0B0h, 0B0h, 0B1h, 0B1h, 0B2h, 0B2h, 0DBh, 0DBh, ' ', 0DCh, 0DFh, 0DDh, 0DEh, 0
word_   db 'Col ', 0
