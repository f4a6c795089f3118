; ARRAY.ASM —— 循环与数组：求和、找最大值和最小值、冒泡排序
;
; 学习要点：
;   1. 简化段定义：.MODEL SMALL 之后用 .STACK、.DATA、.CODE 定义各段，
;      数据段的段地址用 @data 取得。
;   2. 数组的访问：用基址寄存器 BX 或变址寄存器 SI/DI 存放地址，
;      字数组每个元素占 2 字节，所以下标每次加 2。
;   3. LOOP 指令：CX 减 1，不为 0 就转移；循环次数事先放在 CX 中。
;   4. 有符号数比较后用 JG/JL 等转移指令（无符号数用 JA/JB）。
;   5. 冒泡排序：二重循环，每一趟把最大的数“冒”到最后。

        .model  small
        .stack  100h

        .data
array   dw      37, -5, 120, 8, 0, 64, -17, 9, 250, 3
N       equ     ($ - array) / 2     ; 元素个数，由汇编程序计算：字节数除以 2

msum    db      'Sum:     $'
mmax    db      'Maximum: $'
mmin    db      'Minimum: $'
msort   db      'Sorted:  $'
crlf    db      0Dh, 0Ah, '$'

        .code
; ---- 显示 DS:DX 指向的字符串 ----
print   proc
        mov     ah, 09h
        int     21h
        ret
print   endp

; ---- 把 AX 当作有符号数按十进制显示 ----
putint  proc
        push    ax
        push    bx
        push    cx
        push    dx
        test    ax, ax
        jns     positive            ; 符号位为 0：非负数
        push    ax
        mov     dl, '-'             ; 负数：先显示负号，再求补得到绝对值
        mov     ah, 02h
        int     21h
        pop     ax
        neg     ax
positive:
        mov     bx, 10
        xor     cx, cx
divide:
        xor     dx, dx
        div     bx
        push    dx
        inc     cx
        test    ax, ax
        jnz     divide
output:
        pop     dx
        add     dl, '0'
        mov     ah, 02h
        int     21h
        loop    output
        pop     dx
        pop     cx
        pop     bx
        pop     ax
        ret
putint  endp

start:
        mov     ax, @data
        mov     ds, ax

        ; ---- 求和：SI 作为下标，每次加 2 ----
        xor     ax, ax              ; AX 存放累加和
        xor     si, si
        mov     cx, N
sum_loop:
        add     ax, array[si]
        add     si, 2
        loop    sum_loop
        mov     dx, offset msum
        push    ax                  ; print 会改变 AX（AH=09h），先保存
        call    print
        pop     ax
        call    putint
        mov     dx, offset crlf
        call    print

        ; ---- 找最大值和最小值：BX 指向元素，DX 保存最小值 ----
        mov     bx, offset array
        mov     ax, [bx]            ; 先假定第一个元素既是最大也是最小
        mov     dx, ax
        mov     cx, N - 1           ; 还要比较剩下的 N-1 个元素
find_loop:
        add     bx, 2
        cmp     [bx], ax
        jle     not_bigger          ; 有符号比较：不大于当前最大值就跳过
        mov     ax, [bx]
not_bigger:
        cmp     [bx], dx
        jge     not_smaller
        mov     dx, [bx]
not_smaller:
        loop    find_loop
        push    dx                  ; 先保存最小值
        push    ax
        mov     dx, offset mmax
        call    print
        pop     ax
        call    putint
        mov     dx, offset crlf
        call    print
        mov     dx, offset mmin
        call    print
        pop     ax                  ; 取出最小值
        call    putint
        mov     dx, offset crlf
        call    print

        ; ---- 冒泡排序（从小到大）----
        mov     cx, N - 1           ; 外循环：共 N-1 趟
outer:
        push    cx                  ; 内外循环都用 CX，外循环的计数先压栈保存
        mov     si, offset array
inner:                              ; 内循环：本趟比较 CX 次相邻元素
        mov     ax, [si]
        cmp     ax, [si+2]
        jle     no_swap             ; 前一个不大于后一个，顺序正确
        xchg    ax, [si+2]          ; 交换两个相邻元素
        mov     [si], ax
no_swap:
        add     si, 2
        loop    inner
        pop     cx
        loop    outer               ; 每趟之后最大的数到了最后，下一趟少比较一次

        ; ---- 显示排序结果 ----
        mov     dx, offset msort
        call    print
        mov     si, offset array
        mov     cx, N
show:
        mov     ax, [si]
        call    putint
        mov     dl, ' '
        mov     ah, 02h
        int     21h
        add     si, 2
        loop    show
        mov     dx, offset crlf
        call    print

        mov     ax, 4C00h
        int     21h
        end     start
