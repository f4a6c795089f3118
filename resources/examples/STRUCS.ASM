; STRUCS.ASM —— 结构：用 STRUC 描述一条学生记录，访问结构数组的字段
;
; 学习要点：
;   1. 结构定义：  名字 STRUC …… 名字 ENDS
;      它只描述各字段的大小和顺序，本身不占内存。字段名的值就是它在结构中的偏移。
;   2. 定义结构变量：  变量名 结构名 <初值1, 初值2, ……>，尖括号里按字段顺序给初值，
;      空着的字段用定义结构时的默认值。
;   3. 访问字段：[BX].score 或 [BX + score]，BX 指向某一条记录的开头。
;   4. SIZE student 或 TYPE student 是一条记录的字节数，BX 每次加上它就指向下一条。

student struc
sname   db      'nobody  $'         ; 姓名：8 个字符加 '$'，便于直接显示
sid     dw      0                   ; 学号
score   db      0                   ; 成绩
student ends

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
class   student <'Li Lei  $', 1001, 86>
        student <'Han Mei $', 1002, 93>
        student <'Wang Li $', 1003, 78>
        student <'Zhao Yu $', 1004, 64>
        student <'Chen Bo $', 1005, 91>
        student <'Sun Ke  $', 1006> ; 成绩省略，取定义时的默认值 0（缺考）
COUNT   equ     ($ - class) / (size student)

mhead   db      'ID    Name     Score', 0Dh, 0Ah, '$'
mbest   db      'Best: $'
mavg    db      'Average score: $'
mrec    db      'Record size: $'
mbytes  db      ' bytes', 0Dh, 0Ah, '$'
crlf    db      0Dh, 0Ah, '$'
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack

print   proc
        mov     ah, 09h
        int     21h
        ret
print   endp

putc    proc                        ; 显示 DL 中的字符
        mov     ah, 02h
        int     21h
        ret
putc    endp

; 把 AX 按无符号十进制显示
putdec  proc
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
        call    putc
        loop    show
        pop     dx
        pop     cx
        pop     bx
        ret
putdec  endp

start:
        mov     ax, data
        mov     ds, ax

        mov     dx, offset mrec
        call    print
        mov     ax, size student    ; 8+1 字节姓名，2 字节学号，1 字节成绩，共 12 字节
        call    putdec
        mov     dx, offset mbytes
        call    print

        ; ---- 逐条显示记录，同时累加成绩并记住最高分的记录 ----
        mov     dx, offset mhead
        call    print
        mov     bx, offset class    ; BX 指向当前记录
        mov     cx, COUNT
        xor     si, si              ; SI 累加成绩
        mov     di, bx              ; DI 指向目前最高分的记录
next:
        mov     ax, [bx].sid        ; 取学号字段
        call    putdec
        mov     dl, ' '
        call    putc
        call    putc
        lea     dx, [bx].sname      ; 姓名字段的地址
        call    print
        mov     dl, ' '
        call    putc
        mov     al, [bx].score      ; 成绩字段是字节，扩展成字再显示
        xor     ah, ah
        call    putdec
        mov     dx, offset crlf
        call    print

        mov     al, [bx].score
        xor     ah, ah
        add     si, ax
        cmp     al, [di].score      ; 比目前的最高分高就记住这条记录
        jbe     not_best
        mov     di, bx
not_best:
        add     bx, size student    ; 指向下一条记录
        loop    next

        mov     dx, offset mbest
        call    print
        lea     dx, [di].sname
        call    print
        mov     dx, offset crlf
        call    print

        mov     dx, offset mavg     ; 平均分 = 总分 / 人数（整数除法）
        call    print
        mov     ax, si
        mov     bl, COUNT
        div     bl                  ; AL = 商
        xor     ah, ah
        call    putdec
        mov     dx, offset crlf
        call    print

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
