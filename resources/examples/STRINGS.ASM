; STRINGS.ASM —— 串操作指令：复制、比较、查找计数、反转
;
; 学习要点：
;   1. 串操作指令的源串是 DS:SI，目的串是 ES:DI，所以先让 ES 也指向数据段。
;   2. CLD 使方向标志 DF=0，每次操作后 SI、DI 自动增加（STD 则减少）。
;   3. 重复前缀：REP 重复 CX 次；REPE/REPZ 在相等且 CX≠0 时重复；
;      REPNE/REPNZ 在不相等且 CX≠0 时重复。
;   4. MOVSB 复制一个字节；CMPSB 比较 [SI] 与 ES:[DI]；
;      SCASB 把 AL 与 ES:[DI] 比较（用来在串中查找字符）。

stack   segment stack
        dw      128 dup(?)
stack   ends

data    segment
source  db      'Assembly language is close to the machine.'
LEN     equ     $ - source          ; 串的长度
        db      '$'
copy    db      LEN dup(?), '$'     ; 复制的目的地，后面跟 '$' 便于显示
reverse db      LEN dup(?), '$'

word1   db      'MOVSB'
word2   db      'MOVSW'
WLEN    equ     5

mcopy   db      'Copy:     $'
mrev    db      'Reversed: $'
mcount  db      'Letter a appears $'
mtimes  db      ' times', 0Dh, 0Ah, '$'
msame   db      'MOVSB and MOVSW: equal', 0Dh, 0Ah, '$'
mdiff   db      'MOVSB and MOVSW differ at position $'
crlf    db      0Dh, 0Ah, '$'
data    ends

code    segment
        assume  cs:code, ds:data, es:data, ss:stack

print   proc
        mov     ah, 09h
        int     21h
        ret
print   endp

; 显示 AX 中的一个小于 100 的数（这里的结果都不大）
put2    proc
        mov     bl, 10
        div     bl                  ; AL = 十位，AH = 个位
        mov     bh, ah
        test    al, al
        jz      units               ; 十位是 0 不显示
        mov     dl, al
        add     dl, '0'
        mov     ah, 02h
        int     21h
units:  mov     dl, bh
        add     dl, '0'
        mov     ah, 02h
        int     21h
        ret
put2    endp

start:
        mov     ax, data
        mov     ds, ax
        mov     es, ax              ; 串指令的目的串在 ES 段
        cld                         ; 地址递增

        ; ---- 1. 用 REP MOVSB 复制整个串 ----
        mov     si, offset source
        mov     di, offset copy
        mov     cx, LEN
        rep     movsb               ; 重复 CX 次：ES:[DI] <- DS:[SI]，SI、DI 加 1
        mov     dx, offset mcopy
        call    print
        mov     dx, offset copy
        call    print
        mov     dx, offset crlf
        call    print

        ; ---- 2. 反转：SI 从源串末尾向前，DI 从目的串开头向后 ----
        mov     si, offset source + LEN - 1
        mov     di, offset reverse
        mov     cx, LEN
rev_loop:
        mov     al, [si]
        stosb                       ; ES:[DI] <- AL，DI 加 1
        dec     si
        loop    rev_loop
        mov     dx, offset mrev
        call    print
        mov     dx, offset reverse
        call    print
        mov     dx, offset crlf
        call    print

        ; ---- 3. 用 REPNE SCASB 统计字母 a 出现的次数 ----
        xor     bx, bx              ; BX 计数
        mov     di, offset source
        mov     cx, LEN
        mov     al, 'a'
search:
        repne   scasb               ; 找到 'a' 或 CX 减到 0 时停止
        jne     search_done         ; ZF=0：最后一次比较也不相等，说明没找到
        inc     bx                  ; 找到一个；DI 已指向它后面的字符，继续找
        jcxz    search_done         ; 'a' 正好是最后一个字符时，CX 已经是 0
        jmp     search
search_done:
        mov     dx, offset mcount
        call    print
        mov     ax, bx
        call    put2
        mov     dx, offset mtimes
        call    print

        ; ---- 4. 用 REPE CMPSB 比较两个串 ----
        mov     si, offset word1
        mov     di, offset word2
        mov     cx, WLEN
        repe    cmpsb               ; 相等就继续比较，遇到不相等的字节停止
        je      same                ; 最后一次比较相等：全部相同
        mov     dx, offset mdiff
        call    print
        mov     ax, si              ; SI 已越过不同的字节，
        sub     ax, offset word1    ; 所以 SI - word1 就是从 1 数起的位置
        call    put2
        mov     dx, offset crlf
        call    print
        jmp     short finish
same:
        mov     dx, offset msame
        call    print
finish:
        mov     ax, 4C00h
        int     21h
code    ends
        end     start
