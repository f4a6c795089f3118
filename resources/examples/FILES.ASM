; FILES.ASM —— 文件操作：建立、写入、关闭、打开、读出、删除
;
; 学习要点：
;   1. DOS 用“文件句柄”（一个数）代表打开的文件：
;        AH=3Ch 建立文件：DS:DX = 文件名（以 0 结尾），CX = 属性（0 普通文件），返回 AX = 句柄
;        AH=3Dh 打开文件：DS:DX = 文件名，AL = 0 读 / 1 写 / 2 读写，返回 AX = 句柄
;        AH=3Fh 读文件：  BX = 句柄，CX = 最多读几个字节，DS:DX = 缓冲区，返回 AX = 实际读到的字节数
;        AH=40h 写文件：  BX = 句柄，CX = 字节数，DS:DX = 数据，返回 AX = 实际写入的字节数
;        AH=3Eh 关闭文件：BX = 句柄
;        AH=41h 删除文件：DS:DX = 文件名
;   2. 这些功能出错时置进位标志 CF=1，AX 是错误代码（2 = 文件不存在，3 = 路径不存在，
;      4 = 打开的文件太多，5 = 拒绝访问……）。每次调用后都要检查 CF！
;   3. 句柄 1 是标准输出，所以 AH=40h 也能用来显示，而且不需要 '$' 结尾。
;   4. 文件名不带路径时，文件建立在当前目录中，也就是程序所在的目录。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
fname   db      'NOTES.TXT', 0      ; 文件名必须以 0 字节结尾（ASCIIZ 串）
text    db      'Line 1: written with INT 21h, AH=40h', 0Dh, 0Ah
        db      'Line 2: read back with AH=3Fh', 0Dh, 0Ah
TEXTLEN equ     $ - text
handle  dw      ?
buffer  db      100 dup(?)
nread   dw      ?                   ; 读到的字节数

mcreate db      'Created NOTES.TXT and wrote $'
mbytes  db      ' bytes', 0Dh, 0Ah, '$'
mread   db      'Read back $'
mcolon  db      ' bytes:', 0Dh, 0Ah, '$'
mdel    db      'NOTES.TXT deleted again', 0Dh, 0Ah, '$'
merror  db      'File error, DOS error code $'
crlf    db      0Dh, 0Ah, '$'
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

putdec  proc                        ; 把 AX 按无符号十进制显示
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

; ---- 检查刚才的 DOS 调用：CF=1 时显示错误代码（在 AX 中）并以退出码 1 结束 ----
; 8086 的条件转移只能跳 -128～+127 字节，程序长了以后“jc error”常常跳不到，
; 所以把检查写成子程序，每次调用后 CALL 它（CALL 不改变标志）。
check   proc
        jnc     check_ok
        mov     dx, offset merror
        call    print
        call    putdec
        mov     dx, offset crlf
        call    print
        mov     ax, 4C01h
        int     21h
check_ok:
        ret
check   endp

start:
        mov     ax, data
        mov     ds, ax

        ; ---- 1. 建立文件（已存在则清空）----
        mov     ah, 3Ch
        mov     cx, 0               ; 普通文件
        mov     dx, offset fname
        int     21h
        call    check               ; CF=1 表示出错，check 显示错误代码并结束程序
        mov     handle, ax          ; 保存句柄，以后都用它

        ; ---- 2. 写入 ----
        mov     ah, 40h
        mov     bx, handle
        mov     cx, TEXTLEN
        mov     dx, offset text
        int     21h
        call    check
        mov     dx, offset mcreate
        call    print
        call    putdec              ; AX = 实际写入的字节数
        mov     dx, offset mbytes
        call    print

        ; ---- 3. 关闭：关闭时 DOS 才把缓冲区的数据真正写进磁盘 ----
        mov     ah, 3Eh
        mov     bx, handle
        int     21h
        call    check

        ; ---- 4. 重新打开并读出 ----
        mov     ax, 3D00h           ; AH=3Dh 打开，AL=0 只读
        mov     dx, offset fname
        int     21h
        call    check
        mov     handle, ax
        mov     ah, 3Fh
        mov     bx, handle
        mov     cx, size buffer     ; 最多读满缓冲区（100 字节）
        mov     dx, offset buffer
        int     21h
        call    check
        mov     nread, ax
        mov     ah, 3Eh
        mov     bx, handle
        int     21h
        call    check

        ; ---- 5. 用句柄 1（标准输出）显示读到的内容 ----
        mov     dx, offset mread
        call    print
        mov     ax, nread
        call    putdec
        mov     dx, offset mcolon
        call    print
        mov     ah, 40h
        mov     bx, 1               ; 句柄 1 = 标准输出
        mov     cx, nread
        mov     dx, offset buffer
        int     21h
        call    check

        ; ---- 6. 删除文件，让目录恢复原样 ----
        mov     ah, 41h
        mov     dx, offset fname
        int     21h
        call    check
        mov     dx, offset mdel
        call    print
        mov     ax, 4C00h
        int     21h

code    ends
        end     start
