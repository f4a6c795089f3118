; COMFILE.ASM —— .COM 程序：只有一个段，从偏移 100h 开始
;
; 学习要点：
;   1. .COM 程序的代码、数据和堆栈都在同一个 64KB 段里。DOS 装入它时
;      CS = DS = ES = SS = 程序段前缀（PSP）的段地址，所以不用设置 DS。
;   2. PSP 占段的前 256（100h）字节，程序从 100h 开始，所以必须写 ORG 100h。
;      PSP 的 80h 处是命令行参数的长度，81h 起是参数文字，以回车 0Dh 结尾。
;   3. .MODEL TINY 是简化段定义中专为 .COM 程序准备的存储模式。
;   4. 链接时要用 TLink 的 /t 选项，直接生成 .COM 文件：
;      在 Korvash 中选菜单“设置 → 环境设置”，勾选“编译生成Com文件”（链接选项里就多了 /t）；
;      或者在命令行上：
;          TASM COMFILE
;          TLINK /t COMFILE
;   5. 程序的第一条指令必须在 100h 处，所以数据放在代码后面，
;      或者像这里一样用 JMP 跳过放在前面的数据。
;
; 运行时可以带参数，例如：COMFILE hello world

        .model  tiny
        .code
        org     100h                ; 跳过 PSP
start:
        jmp     main                ; 跳过下面的数据

mtitle  db      'A .COM program: one segment, CS = DS = ES = SS? $'
myes    db      'yes', 0Dh, 0Ah, '$'
mno     db      'no', 0Dh, 0Ah, '$'
margs   db      'Command line arguments: [$'
mnone   db      '(none)$'
mend    db      ']', 0Dh, 0Ah, '$'
mcount  db      'Counting down: $'
crlf    db      0Dh, 0Ah, '$'

main:
        ; ---- 检查四个段寄存器是否相等（DOS 装入 .COM 程序时就是这样设置的）----
        mov     dx, offset mtitle   ; DS 已经等于 CS，不用设置
        mov     ah, 09h
        int     21h
        mov     dx, offset myes
        mov     ax, cs
        mov     bx, ds
        cmp     ax, bx
        jne     differ
        mov     bx, es
        cmp     ax, bx
        jne     differ
        mov     bx, ss
        cmp     ax, bx
        je      same
differ: mov     dx, offset mno
same:   mov     ah, 09h
        int     21h

        ; ---- 显示 PSP 中的命令行参数 ----
        mov     dx, offset margs
        mov     ah, 09h
        int     21h
        mov     cl, ds:[80h]        ; 参数长度（包括前面的空格）
        xor     ch, ch
        jcxz    no_args
        mov     si, 81h             ; 参数文字从 81h 开始
skip_blank:                         ; 跳过程序名后面的空格
        cmp     byte ptr [si], ' '
        jne     show_args
        inc     si
        loop    skip_blank
        jmp     short no_args       ; 全是空格
show_args:
        mov     ah, 40h             ; 用句柄 1 写 CX 个字节，参数不是 '$' 结尾的
        mov     bx, 1
        mov     dx, si
        int     21h
        jmp     short args_done
no_args:
        mov     dx, offset mnone
        mov     ah, 09h
        int     21h
args_done:
        mov     dx, offset mend
        mov     ah, 09h
        int     21h

        ; ---- 从 9 数到 0 ----
        mov     dx, offset mcount
        mov     ah, 09h
        int     21h
        mov     dl, '9'
count:
        mov     ah, 02h
        int     21h
        dec     dl
        cmp     dl, '0'
        jae     count
        mov     dx, offset crlf
        mov     ah, 09h
        int     21h

        mov     ax, 4C00h           ; .COM 程序也可以用 INT 20h 或 RET 结束
        int     21h

        end     start
