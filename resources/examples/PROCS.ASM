; PROCS.ASM —— 子程序与堆栈：PROC/CALL/RET、用 BP 取堆栈中的参数、递归求阶乘
;
; 学习要点：
;   1. CALL 把返回地址压入堆栈，RET 从堆栈弹出返回地址。
;   2. 参数可以先压入堆栈再调用子程序。子程序里先 PUSH BP、MOV BP,SP，
;      之后 [BP+2] 是返回地址，[BP+4] 是最后压入的参数，[BP+6] 是再前一个……
;   3. 参数由谁清除：
;        C 语言的习惯：调用者在 CALL 之后 ADD SP, n；
;        Pascal 的习惯：子程序用 RET n 返回，顺便弹出 n 字节参数。
;      本程序两种都演示。
;   4. 递归：子程序调用自己。每一层的参数和返回地址都在堆栈里，互不干扰，
;      所以堆栈要足够大。
;
;   调用 fact(3) 时堆栈的样子（地址从上往下减小）：
;        参数 3         <- [BP+4]
;        返回地址       <- [BP+2]
;        旧的 BP        <- [BP]  （BP = SP）

stack   segment stack
        dw      256 dup(?)          ; 递归要用堆栈，给足 512 字节
stack   ends

data    segment
msum    db      'add2(1234, 4321) = $'
mfact   db      '! = $'
crlf    db      0Dh, 0Ah, '$'
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

; ---- add2(a, b)：返回 a+b，结果在 AX；调用者清除参数（C 的习惯）----
add2    proc    near
        push    bp
        mov     bp, sp
        mov     ax, [bp+6]          ; 第一个参数 a（先压入，所以地址较高）
        add     ax, [bp+4]          ; 第二个参数 b
        pop     bp
        ret
add2    endp

; ---- fact(n)：返回 n!，结果在 AX；子程序用 RET 2 清除参数（Pascal 的习惯）----
; n! = n * (n-1)!，0! = 1。16 位结果最大到 8! = 40320。
fact    proc    near
        push    bp
        mov     bp, sp
        mov     ax, [bp+4]          ; AX = n
        cmp     ax, 0
        jne     recurse
        mov     ax, 1               ; 递归的出口：0! = 1
        jmp     short done
recurse:
        dec     ax
        push    ax                  ; 参数 n-1 压栈
        call    fact                ; AX = (n-1)!
        mul     word ptr [bp+4]     ; DX:AX = (n-1)! * n；BP 没变，还能取到本层的 n
done:
        pop     bp
        ret     2                   ; 返回并弹出 2 字节的参数
fact    endp

; ---- putdec：把 AX 按无符号十进制显示 ----
putdec  proc    near
        push    ax
        push    bx
        push    cx
        push    dx
        mov     bx, 10
        xor     cx, cx
split:  xor     dx, dx
        div     bx
        push    dx
        inc     cx
        or      ax, ax
        jnz     split
show:   pop     dx
        add     dl, '0'
        mov     ah, 02h
        int     21h
        loop    show
        pop     dx
        pop     cx
        pop     bx
        pop     ax
        ret
putdec  endp

print   proc    near
        mov     ah, 09h
        int     21h
        ret
print   endp

start:
        mov     ax, data
        mov     ds, ax

        ; add2(1234, 4321)
        mov     dx, offset msum
        call    print
        mov     ax, 1234
        push    ax                  ; 8086 不能 PUSH 立即数，先送入寄存器
        mov     ax, 4321
        push    ax
        call    add2
        add     sp, 4               ; 调用者清除两个参数（4 字节）
        call    putdec
        mov     dx, offset crlf
        call    print

        ; 显示 0! 到 8!
        xor     cx, cx              ; CX = n，从 0 开始
fact_loop:
        mov     ax, cx
        call    putdec              ; 显示 n
        mov     dx, offset mfact
        call    print
        push    cx                  ; 参数 n
        call    fact                ; fact 自己清除参数
        call    putdec
        mov     dx, offset crlf
        call    print
        inc     cx
        cmp     cx, 8
        jbe     fact_loop

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
