; INTVEC.ASM —— 中断向量：取得与设置向量，挂接定时器中断 1Ch 和一个自定义中断 60h
;
; 学习要点：
;   1. 中断向量表在内存 0000:0000 开始，每个向量 4 字节（偏移、段）。
;      修改向量要用 DOS 功能，不要直接写内存：
;        AH=35h 取得向量：AL=中断号，返回 ES:BX = 原来的处理程序地址；
;        AH=25h 设置向量：AL=中断号，DS:DX = 新处理程序的地址。
;   2. 中断处理程序以 IRET 返回（它会弹出 IP、CS 和标志寄存器）。
;      处理程序运行时 DS 不一定指向我们的数据段，所以它用到的变量放在代码段，
;      用 CS: 段超越前缀访问。
;   3. INT 1Ch 是 BIOS 定时器中断（INT 8，约每秒 18.2 次）每次都会调用的“用户钩子”。
;      挂接时最好把原来的处理程序也调用一下（“链接”），让别人挂在这里的程序照常工作。
;   4. 程序结束前必须恢复原来的向量！否则程序退出后内存被别的程序占用，
;      下一次定时器中断就会跳到一堆垃圾代码上，机器会死机。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
mhook   db      'INT 1Ch hooked, waiting for 18 timer ticks...', 0Dh, 0Ah, '$'
mtick   db      'Ticks counted: $'
muser   db      'INT 60h turned "hello" into "$'
mquote  db      '"', 0Dh, 0Ah, '$'
mrest   db      'Both vectors restored: $'
myes    db      'yes', 0Dh, 0Ah, '$'
mno     db      'NO', 0Dh, 0Ah, '$'
word1   db      'hello$'
crlf    db      0Dh, 0Ah, '$'
WAIT_TICKS equ  18                  ; 约 1 秒
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

; ---- 处理程序用到的变量：放在代码段，因为中断发生时 DS 可能是任何值 ----
ticks   dw      0                   ; 定时器中断计数
old1c   dd      ?                   ; 原来的 INT 1Ch 向量（偏移在前，段在后）
old60   dd      ?                   ; 原来的 INT 60h 向量

; ---- 新的 INT 1Ch 处理程序：计数，然后转到原来的处理程序 ----
; 数到 WAIT_TICKS 就不再增加：主程序看到计数够了之后、恢复向量之前，
; 可能还会来一次定时器中断，这样显示出来的计数总是 WAIT_TICKS。
tick_handler proc far
        cmp     cs:ticks, WAIT_TICKS    ; 改变了标志也没关系，IRET 会恢复标志
        jae     chain
        inc     cs:ticks
chain:  jmp     cs:old1c            ; 段间间接转移：由原处理程序执行 IRET 返回
tick_handler endp

; ---- INT 60h 处理程序：把 DS:SI 处以 '$' 结尾的串中的小写字母改成大写 ----
upper_handler proc far
        push    ax
        push    si
upper_loop:
        mov     al, [si]
        cmp     al, '$'
        je      upper_done
        cmp     al, 'a'
        jb      upper_next
        cmp     al, 'z'
        ja      upper_next
        sub     al, 'a' - 'A'       ; 小写变大写：ASCII 码减 20h
        mov     [si], al
upper_next:
        inc     si
        jmp     upper_loop
upper_done:
        pop     si
        pop     ax
        iret                        ; 中断返回
upper_handler endp

print   proc
        mov     ah, 09h
        int     21h
        ret
print   endp

start:
        mov     ax, data
        mov     ds, ax

        ; ---- 1. 保存原来的两个向量 ----
        mov     ax, 351Ch           ; AH=35h 取得向量，AL=1Ch
        int     21h
        mov     word ptr cs:old1c, bx       ; 偏移
        mov     word ptr cs:old1c+2, es     ; 段
        mov     ax, 3560h
        int     21h
        mov     word ptr cs:old60, bx
        mov     word ptr cs:old60+2, es

        ; ---- 2. 设置新向量：DS:DX 指向处理程序，处理程序在代码段，所以临时让 DS = CS ----
        push    ds
        push    cs
        pop     ds
        mov     dx, offset tick_handler
        mov     ax, 251Ch           ; AH=25h 设置向量，AL=1Ch
        int     21h
        mov     dx, offset upper_handler
        mov     ax, 2560h
        int     21h
        pop     ds

        ; ---- 3. 等定时器中断计数到 WAIT_TICKS ----
        mov     dx, offset mhook
        call    print
        sti                         ; 确保允许中断，否则定时器中断进不来
wait_loop:
        cmp     cs:ticks, WAIT_TICKS
        jb      wait_loop           ; 中断随时可能发生，在处理程序里把 ticks 加 1

        ; 计数够了，先恢复 1Ch
        push    ds
        lds     dx, cs:old1c        ; LDS：DX = 偏移，DS = 段
        mov     ax, 251Ch
        int     21h
        pop     ds

        mov     dx, offset mtick
        call    print
        mov     ax, cs:ticks
        mov     bl, 10              ; 这里 ticks 是两位数，直接除以 10 得到两位数字
        div     bl
        mov     bh, ah
        mov     dl, al
        add     dl, '0'
        mov     ah, 02h
        int     21h
        mov     dl, bh
        add     dl, '0'
        int     21h
        mov     dx, offset crlf
        call    print

        ; ---- 4. 像调用 DOS 一样调用自己的中断 ----
        mov     si, offset word1
        int     60h                 ; 处理程序把 word1 改成大写
        mov     dx, offset muser
        call    print
        mov     dx, offset word1
        call    print
        mov     dx, offset mquote
        call    print

        ; ---- 5. 恢复 INT 60h，再检查两个向量都回到了原值 ----
        push    ds
        lds     dx, cs:old60
        mov     ax, 2560h
        int     21h
        pop     ds

        mov     dx, offset mrest
        call    print
        mov     ax, 351Ch
        int     21h
        cmp     bx, word ptr cs:old1c
        jne     not_restored
        mov     ax, es
        cmp     ax, word ptr cs:old1c+2
        jne     not_restored
        mov     ax, 3560h
        int     21h
        cmp     bx, word ptr cs:old60
        jne     not_restored
        mov     ax, es
        cmp     ax, word ptr cs:old60+2
        jne     not_restored
        mov     dx, offset myes
        call    print
        mov     ax, 4C00h
        int     21h
not_restored:
        mov     dx, offset mno
        call    print
        mov     ax, 4C01h           ; 退出码 1 表示出错
        int     21h
code    ends
        end     start
