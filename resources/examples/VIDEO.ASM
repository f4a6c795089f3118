; VIDEO.ASM —— 直接写显存，以及用 BIOS INT 10h 控制光标
;
; 学习要点：
;   1. 80×25 彩色文本方式下，显存从 B800:0000 开始，每个字符占 2 字节：
;      低字节是字符的 ASCII 码，高字节是属性（颜色）。
;      第 row 行第 col 列（都从 0 数起）的偏移 = (row*80 + col)*2。
;   2. 属性字节：位 7 闪烁，位 6～4 背景色，位 3 高亮，位 2～0 前景色。
;      颜色：0 黑 1 蓝 2 绿 3 青 4 红 5 品红 6 棕 7 白。
;      例如 1Eh = 蓝底（1）黄字（0Eh = 高亮的棕色，即黄色）。
;   3. 直接写显存不经过 DOS，所以输出重定向到文件时它照样出现在屏幕上；
;      本程序把从显存读回的内容用 DOS 功能显示，这部分才进入标准输出。
;   4. INT 10h：AH=02h 设置光标位置（DH=行，DL=列，BH=显示页）；
;      AH=03h 读光标位置；AH=0Eh 在光标处显示 AL 中的字符并后移光标。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
title1  db      'Writing straight into video memory'
TLEN    equ     $ - title1
ROW     equ     10                  ; 标题所在的行
COL     equ     (80 - TLEN) / 2     ; 居中的起始列
colors  db      'Colours!'          ; 每个字母用不同的颜色
CLEN    equ     $ - colors
bios    db      'Written by INT 10h, AH=0Eh', 0
mcur    db      'Cursor after the BIOS text: row $'
mcol    db      ', column $'
mattr   db      'Attributes read back: $'
crlf    db      0Dh, 0Ah, '$'
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

print   proc
        mov     ah, 09h
        int     21h
        ret
print   endp

; 显示 AL 中的数（0～99），用 DOS 功能，进入标准输出
put2    proc
        push    ax
        push    dx
        xor     ah, ah
        mov     dl, 10
        div     dl
        mov     dh, ah              ; DH = 个位
        test    al, al
        jz      units
        mov     dl, al
        add     dl, '0'
        mov     ah, 02h
        int     21h
units:  mov     dl, dh
        add     dl, '0'
        mov     ah, 02h
        int     21h
        pop     dx
        pop     ax
        ret
put2    endp

; 用两位十六进制显示 AL
puthex  proc
        push    ax
        push    cx
        push    dx
        mov     dh, al
        mov     cl, 4
        shr     al, cl
        call    hexdigit
        mov     al, dh
        and     al, 0Fh
        call    hexdigit
        pop     dx
        pop     cx
        pop     ax
        ret
hexdigit:                           ; 显示 AL（0～15）对应的十六进制字符
        mov     dl, al
        add     dl, '0'
        cmp     dl, '9'
        jbe     digit_ok
        add     dl, 'A' - '9' - 1   ; 10～15 对应 'A'～'F'
digit_ok:
        mov     ah, 02h
        int     21h
        ret
puthex  endp

start:
        mov     ax, data
        mov     ds, ax
        mov     ax, 0B800h          ; ES 指向显存
        mov     es, ax
        cld

        ; ---- 1. 清屏：2000 个“白字黑底的空格”（0720h），用 REP STOSW 一次写完 ----
        xor     di, di
        mov     ax, 0720h           ; AL = ' '，AH = 07h 属性
        mov     cx, 80 * 25
        rep     stosw

        ; ---- 2. 第 ROW 行居中写标题，蓝底黄字 ----
        mov     si, offset title1
        mov     di, (ROW * 80 + COL) * 2
        mov     cx, TLEN
        mov     ah, 1Eh             ; 属性
title_loop:
        lodsb                       ; AL = DS:[SI]，SI 加 1
        stosw                       ; ES:[DI] = AX（字符和属性），DI 加 2
        loop    title_loop

        ; ---- 3. 下一行：每个字母换一种前景色（属性 1～8）----
        mov     si, offset colors
        mov     di, ((ROW + 1) * 80 + (80 - CLEN) / 2) * 2
        mov     cx, CLEN
        mov     ah, 1
color_loop:
        lodsb
        stosw
        inc     ah                  ; 下一种颜色
        loop    color_loop

        ; ---- 4. 用 BIOS 把光标移到第 ROW+3 行第 COL 列，再用 0Eh 号功能写字 ----
        mov     ah, 02h
        mov     bh, 0               ; 第 0 页
        mov     dh, ROW + 3
        mov     dl, COL
        int     10h
        mov     si, offset bios
bios_loop:
        lodsb
        or      al, al              ; 这个串以 0 结尾
        jz      bios_done
        mov     ah, 0Eh
        mov     bh, 0
        int     10h
        jmp     bios_loop
bios_done:

        ; ---- 5. 读光标位置，用 DOS 输出到标准输出 ----
        mov     ah, 03h
        mov     bh, 0
        int     10h                 ; DH = 行，DL = 列
        push    dx
        mov     dx, offset mcur
        call    print
        pop     dx
        mov     al, dh
        call    put2
        push    dx
        mov     dx, offset mcol
        call    print
        pop     dx
        mov     al, dl
        call    put2
        mov     dx, offset crlf
        call    print

        ; ---- 6. 从显存读回彩色字母的属性字节并显示 ----
        mov     dx, offset mattr
        call    print
        mov     di, ((ROW + 1) * 80 + (80 - CLEN) / 2) * 2 + 1  ; +1 是属性字节
        mov     cx, CLEN
read_loop:
        mov     al, es:[di]         ; 显存在 ES 段，要写段超越前缀 ES:
        call    puthex
        mov     dl, ' '
        mov     ah, 02h
        int     21h
        add     di, 2
        loop    read_loop
        mov     dx, offset crlf
        call    print

        ; ---- 7. 光标放到屏幕底部，程序结束后 DOS 的提示符不会盖住上面的内容 ----
        mov     ah, 02h
        mov     bh, 0
        mov     dh, 23
        mov     dl, 0
        int     10h

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
