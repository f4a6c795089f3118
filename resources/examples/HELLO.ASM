; HELLO.ASM —— 第一个汇编程序：在屏幕上显示“Hello, world!”
;
; 学习要点：
;   1. 完整段定义：用 SEGMENT/ENDS 分别定义堆栈段、数据段和代码段，
;      用 ASSUME 告诉汇编程序每个段寄存器对应哪个段。
;   2. 程序开始时 DS 并不指向我们的数据段（DOS 让它指向 PSP），
;      所以必须先把数据段的段地址装入 DS。
;   3. DOS 功能调用 INT 21h：AH 中放功能号。
;      AH=09h 显示以“$”结尾的字符串，DS:DX 指向字符串。
;      AH=4Ch 结束程序，AL 是返回给 DOS 的退出码。
;
; 在 Korvash 中：Ctrl+F9“编译”，F7“生成”，Ctrl+F5“运行”；
; 想一条一条地看指令执行，按 F5“集成调试”，再按 F10 单步执行。

stack   segment stack               ; 堆栈段：STACK 组合类型让 DOS 自动设置 SS:SP
        dw      64 dup(?)           ; 64 个字（128 字节）的堆栈空间
stack   ends

data    segment
; 0Dh 是回车，0Ah 是换行；字符串必须以 '$' 结尾，09h 号功能遇到 '$' 才停止。
hello   db      'Hello, world!', 0Dh, 0Ah, '$'
; 中文字符串：源文件用 GBK 编码保存，DOS 控制台也按 GBK 显示，所以能正确显示汉字。
chinese db      '你好，世界！', 0Dh, 0Ah, '$'
data    ends

code    segment
        assume  cs:code, ds:data, ss:stack
start:
        mov     ax, data            ; 段地址不能直接送入段寄存器，
        mov     ds, ax              ; 要先送入通用寄存器 AX 再转送 DS

        mov     dx, offset hello    ; DS:DX 指向要显示的字符串
        mov     ah, 09h             ; 09h 号功能：显示字符串
        int     21h

        mov     dx, offset chinese
        mov     ah, 09h
        int     21h

        mov     ax, 4C00h           ; AH=4Ch 结束程序，AL=0 表示正常结束
        int     21h
code    ends
        end     start               ; END 后面的标号是程序的入口
