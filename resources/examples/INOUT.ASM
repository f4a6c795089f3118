; INOUT.ASM —— 键盘输入与数字输出
;
; 学习要点：
;   1. INT 21h AH=01h：读一个字符（带回显），字符的 ASCII 码返回在 AL 中。
;   2. INT 21h AH=0Ah：缓冲区输入，读一整行，用户按回车结束。
;      缓冲区格式：第 0 字节 = 最多读几个字符（含回车），
;                  第 1 字节 = 实际读到几个字符（DOS 填写，不含回车），
;                  第 2 字节起 = 读到的字符，最后是回车 0Dh。
;   3. 把一个 16 位二进制数显示成十进制：反复除以 10，余数就是各位数字，
;      但先得到的是个位，所以先压栈，再依次弹出显示。
;   4. 显示成十六进制：每次取出 4 位（一个十六进制位），查表得到字符。
;
; 运行时先按一个键，再输入一行文字并回车。
; 集成调试（F5）时，程序等待键盘输入就停在那里：在下方“调试窗口”的“输　入：”框中打字，
; 每按一个键就送给程序一个字符（回车键也是一个字符）。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
askkey  db      'Press a key: $'
askline db      0Dh, 0Ah, 'Type a line: $'
codeis  db      0Dh, 0Ah, 'ASCII code of the key: $'
lenis   db      0Ah, 'Length of the line: $'   ; 0Ah 号功能已回显回车，只需换行
youtyp  db      0Dh, 0Ah, 'You typed: $'
inhex   db      'H, decimal $'
crlf    db      0Dh, 0Ah, '$'
hexdig  db      '0123456789ABCDEF'  ; 十六进制数字表，XLAT 或 [bx+si] 查表用

key     db      ?                   ; 保存读到的按键
buffer  db      40                  ; 0Ah 号功能的缓冲区：最多 40 个字符（含回车）
count   db      ?                   ; DOS 在这里填写实际读到的字符数
chars   db      40 dup(?)           ; 读到的字符
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

; ---- 子程序 print：显示 DS:DX 指向的 '$' 结尾字符串 ----
print   proc
        push    ax
        mov     ah, 09h
        int     21h
        pop     ax
        ret
print   endp

; ---- 子程序 putdec：把 AX 中的无符号数按十进制显示 ----
putdec  proc
        push    ax                  ; 用到的寄存器先保存，返回前恢复，
        push    bx                  ; 这样调用者的寄存器不会被破坏
        push    cx
        push    dx
        mov     bx, 10              ; 除数 10
        xor     cx, cx              ; CX 统计数字个数
next_digit:
        xor     dx, dx              ; DX:AX 作为被除数，所以先把 DX 清零
        div     bx                  ; AX = 商，DX = 余数（0～9）
        push    dx                  ; 余数就是当前最低位，先压栈
        inc     cx
        test    ax, ax              ; 商为 0 时所有数字都取完了
        jnz     next_digit
show_digit:
        pop     dx                  ; 后进先出：先弹出的是最高位
        add     dl, '0'             ; 数字 0～9 加上 '0' 变成字符
        mov     ah, 02h             ; 02h 号功能：显示 DL 中的字符
        int     21h
        loop    show_digit
        pop     dx
        pop     cx
        pop     bx
        pop     ax
        ret
putdec  endp

; ---- 子程序 puthex：把 AL 按两位十六进制显示 ----
puthex  proc
        push    ax
        push    bx
        push    cx
        push    dx
        mov     bx, offset hexdig
        mov     ah, al              ; AH 保存一份，AL 先处理高 4 位
        mov     cl, 4
        shr     al, cl              ; 8086 的移位次数大于 1 时必须放在 CL 中
        xlat                        ; AL = [BX+AL]，即查表得到字符
        mov     dl, al
        mov     al, ah              ; 取回原值，处理低 4 位
        and     al, 0Fh
        xlat
        mov     dh, al
        mov     ah, 02h
        int     21h                 ; 显示高位字符（DL）
        mov     dl, dh
        int     21h                 ; 显示低位字符；AH 仍是 02h
        pop     dx
        pop     cx
        pop     bx
        pop     ax
        ret
puthex  endp

start:
        mov     ax, data
        mov     ds, ax

        ; 第一部分：读一个键，显示它的 ASCII 码
        mov     dx, offset askkey
        call    print
        mov     ah, 01h             ; 读一个字符并回显，结果在 AL
        int     21h
        mov     key, al

        mov     dx, offset codeis
        call    print
        mov     al, key
        call    puthex              ; 先显示十六进制
        mov     dx, offset inhex
        call    print
        mov     al, key
        xor     ah, ah              ; 把 8 位的 AL 扩展成 16 位的 AX
        call    putdec              ; 再显示十进制

        ; 第二部分：读一行，显示长度并原样显示
        mov     dx, offset askline
        call    print
        mov     dx, offset buffer   ; DS:DX 指向缓冲区
        mov     ah, 0Ah
        int     21h

        mov     dx, offset lenis
        call    print
        mov     al, count
        xor     ah, ah
        call    putdec

        ; 读到的字符后面是回车，不是 '$'；换成 '$' 才能用 09h 号功能显示
        mov     bl, count
        xor     bh, bh
        mov     chars[bx], '$'
        mov     dx, offset youtyp
        call    print
        mov     dx, offset chars
        call    print
        mov     dx, offset crlf
        call    print

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
