; MACROS.ASM —— 宏：带参数的宏、LOCAL 局部标号、宏中调用宏
;
; 学习要点：
;   1. 宏定义：  名字 MACRO 形参1, 形参2 …… ENDM
;      宏调用：  名字 实参1, 实参2
;      汇编时，每次调用都被展开成宏体，形参被实参替换（在 .LST 清单中可以看到展开结果）。
;   2. 宏体里的标号如果不声明成 LOCAL，宏调用两次就会出现重复定义的标号。
;      LOCAL 让汇编程序每次展开时换成不同的名字（??0000、??0001 ……）。
;   3. 宏与子程序的区别：宏在每个调用处都复制一份代码，不需要 CALL/RET，
;      执行快但程序变长；子程序只有一份代码。
;   4. 宏定义必须写在调用之前。

; ---- 显示一个字符 ----
putc    macro   char
        mov     dl, char
        mov     ah, 02h
        int     21h
        endm

; ---- 回车换行：宏里调用另一个宏 ----
newline macro
        putc    0Dh
        putc    0Ah
        endm

; ---- 显示一行文字：文字就放在代码中间，用 JMP 跳过 ----
; msg 和 skip 都是 LOCAL 标号，所以 say 可以调用很多次。
say     macro   text
        local   msg, skip
        jmp     skip
msg     db      text, 0Dh, 0Ah, '$'
skip:   push    ds                  ; 字符串在代码段里，临时让 DS = CS
        push    cs
        pop     ds
        mov     dx, offset msg
        mov     ah, 09h
        int     21h
        pop     ds
        endm

; ---- 把一个字符重复显示 count 次 ----
repchar macro   char, count
        local   again
        mov     cx, count
again:  putc    char
        loop    again
        endm

; ---- dest = a 和 b 中的较大者（有符号数）----
maxof   macro   dest, a, b
        local   first_bigger
        mov     ax, a
        cmp     ax, b
        jge     first_bigger
        mov     ax, b
first_bigger:
        mov     dest, ax
        endm

; ---- 显示 0～99 之间的数 ----
put2    macro   value
        local   one_digit
        mov     ax, value
        mov     bl, 10
        div     bl                  ; AL = 十位，AH = 个位
        mov     bh, ah
        test    al, al
        jz      one_digit
        add     al, '0'
        putc    al
one_digit:
        add     bh, '0'
        putc    bh
        endm

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
x       dw      42
y       dw      17
z       dw      ?
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack
start:
        mov     ax, data
        mov     ds, ax

        repchar '=', 30
        newline
        say     'Macros are expanded where they are called.'
        say     'Each call of SAY gets its own labels.'
        repchar '-', 30
        newline

        maxof   z, x, y             ; z = max(42, 17)
        say     'max(42, 17) is:'
        put2    z
        newline
        maxof   z, y, 99            ; 实参也可以是常数
        say     'max(17, 99) is:'
        put2    z
        newline

        mov     ax, 4C00h
        int     21h
code    ends
        end     start
