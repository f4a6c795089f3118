; CALC.ASM —— 读入两个十进制数，做加、减、乘、除
;
; 学习要点：
;   1. 键盘输入的是字符，要自己把“数字串”转换成二进制数：
;        值 = 值 × 10 + (字符 - '0')，从最高位起逐位处理。
;      转换时检查非数字字符和超过 65535 的数，出错就要求重新输入。
;   2. MUL 与 DIV：
;        MUL BX：DX:AX = AX × BX（32 位结果）
;        DIV BX：AX = DX:AX ÷ BX 的商，DX = 余数；除数为 0 或商超过 16 位会引发
;        “除法出错”中断，所以除之前要检查除数。
;   3. 显示 32 位数：DX:AX 直接除以 10 商可能超过 16 位，
;      所以先用高 16 位除，再带着余数除低 16 位（像笔算除法一样）。
;
; 运行时按提示输入两个 0～65535 的数，每个数后按回车。
; 集成调试（F5）时，程序等待键盘输入就停在那里：在下方“调试窗口”的“输　入：”框中打字，
; 每按一个键就送给程序一个字符（回车键也是一个字符）。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
ask1    db      'First number:  $'
ask2    db      'Second number: $'
mbad    db      'Please type a number from 0 to 65535.', 0Dh, 0Ah, '$'
madd    db      'a + b = $'
msub    db      'a - b = $'
mmul    db      'a * b = $'
mdiv    db      'a / b = $'
mrem    db      ', remainder $'
mzero   db      'cannot divide by zero$'
crlf    db      0Dh, 0Ah, '$'
lf      db      0Ah, '$'

inbuf   db      7                   ; 最多 6 个字符加回车
inlen   db      ?
indata  db      7 dup(?)

a       dw      ?
b       dw      ?
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

print   proc
        push    ax
        mov     ah, 09h
        int     21h
        pop     ax
        ret
print   endp

; ---- readnum：显示 DX 指向的提示，读入一个数，结果在 AX；输错就重来 ----
readnum proc
        push    bx
        push    cx
        push    si
        mov     bx, dx              ; 保存提示的地址
again:
        mov     dx, bx
        call    print
        mov     dx, offset inbuf
        mov     ah, 0Ah
        int     21h
        mov     dx, offset lf       ; 0Ah 号功能只回显回车，光标回到行首，再补一个换行
        call    print

        mov     cl, inlen           ; CX = 读到的字符个数
        xor     ch, ch
        jcxz    bad                 ; 什么也没输入
        mov     si, offset indata
        xor     ax, ax              ; AX = 已转换的值
convert:
        mov     dl, [si]
        cmp     dl, '0'
        jb      bad
        cmp     dl, '9'
        ja      bad
        push    dx                  ; MUL 会改写 DX，先保存这个数字
        mov     dx, 10
        mul     dx                  ; DX:AX = AX × 10
        pop     dx
        jc      bad                 ; 乘积超过 16 位：CF=1
        sub     dl, '0'
        add     al, dl              ; 加上这一位
        adc     ah, 0
        jc      bad                 ; 相加后超过 65535
        inc     si
        loop    convert
        pop     si
        pop     cx
        pop     bx
        ret
bad:
        mov     dx, offset mbad
        call    print
        jmp     again
readnum endp

; ---- putdec32：把 DX:AX 按无符号十进制显示 ----
putdec32 proc
        push    ax
        push    bx
        push    cx
        push    dx
        push    si
        mov     bx, 10
        xor     cx, cx              ; 数字个数
split:
        mov     si, ax              ; 先除高 16 位
        mov     ax, dx
        xor     dx, dx
        div     bx                  ; AX = 高位的商，DX = 余数
        xchg    ax, si              ; SI = 高位的商，AX = 低 16 位
        div     bx                  ; 余数 DX 作为高位，和 AX 一起再除：AX = 低位的商
        push    dx                  ; DX = 整个数除以 10 的余数，即最低位数字
        inc     cx
        mov     dx, si              ; DX:AX = 整个数的商
        mov     si, ax
        or      si, dx
        jnz     split               ; 商不为 0 就继续
show:
        pop     dx
        add     dl, '0'
        mov     ah, 02h
        int     21h
        loop    show
        pop     si
        pop     dx
        pop     cx
        pop     bx
        pop     ax
        ret
putdec32 endp

start:
        mov     ax, data
        mov     ds, ax

        mov     dx, offset ask1
        call    readnum
        mov     a, ax
        mov     dx, offset ask2
        call    readnum
        mov     b, ax

        ; a + b：两个 16 位数的和可能有 17 位，进位放进 DX
        mov     dx, offset madd
        call    print
        mov     ax, a
        xor     dx, dx
        add     ax, b
        adc     dx, 0
        call    putdec32
        mov     dx, offset crlf
        call    print

        ; a - b：结果可能是负数，负数显示负号和绝对值
        mov     dx, offset msub
        call    print
        mov     ax, a
        sub     ax, b
        jae     not_negative        ; 无符号减法没有借位：a >= b
        neg     ax
        push    ax
        mov     dl, '-'
        mov     ah, 02h
        int     21h
        pop     ax
not_negative:
        xor     dx, dx
        call    putdec32
        mov     dx, offset crlf
        call    print

        ; a * b：32 位乘积
        mov     dx, offset mmul
        call    print
        mov     ax, a
        mul     b                   ; DX:AX = AX × b
        call    putdec32
        mov     dx, offset crlf
        call    print

        ; a / b：先检查除数
        mov     dx, offset mdiv
        call    print
        cmp     b, 0
        je      div_zero
        mov     ax, a
        xor     dx, dx              ; 被除数是 DX:AX，高 16 位清零
        div     b                   ; AX = 商，DX = 余数
        push    dx
        xor     dx, dx
        call    putdec32
        mov     dx, offset mrem
        call    print
        pop     ax
        xor     dx, dx
        call    putdec32
        jmp     short div_done
div_zero:
        mov     dx, offset mzero
        call    print
div_done:
        mov     dx, offset crlf
        call    print

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
