; BENCH.COM: arithmetic in a tight loop, writing a character into video memory after every 20,000
; rounds, so that a console window has changed cells to draw all the time. nasm -f bin -o BENCH.COM BENCH.ASM
        org 100h
        mov ax, 0B800h
        mov es, ax
        xor bx, bx
outer:  mov cx, 20000
inner:  add ax, cx
        xor dx, ax
        loop inner
        mov di, bx
        and di, 1023
        shl di, 1
        mov al, bl
        and al, 0Fh
        add al, 'A'
        mov ah, 1Eh
        stosw
        inc bx
        cmp bx, 1000
        jb outer
        mov ax, 4C00h
        int 21h
