cseg segment
assume cs:cseg, ds:cseg
pushall macro regs
  irp r, <regs>
    push r
  endm
endm
mkname macro pre, num
pre&num db num
endm
sum macro a, b
  local skip
  ifb <b>
    exitm
  endif
  mov ax, a+b
skip: jmp skip
endm
count = 0
  rept 3
  count = count + 1
  db count
  endm
  irpc c, abc
  db '&c'
  endm
  pushall <ax, bx, cx>
  mkname var, 5
  mkname var, %(2+3*2)
  sum 1
  sum 1, 2
  sum 3, 4
 ifidn <x>, <x>
  db 0AAh
 else
  db 0BBh
 endif
 ifdef count
  db 1
 endif
 ifndef nothere
  db 2
 endif
 if count eq 3
  db 3
 elseif count eq 4
  db 4
 else
  db 5
 endif
@@1: jmp @@2
@@2: jmp @@1
lbl: 
@@1: jmp @@1
fwd2: jmp fwd
 db 10 dup (1, 2 dup(3))
fwd: mov al, var5
 mov bl, var8
 mov ax, 'ab'
 mov ax, 101b + 17q + 0ffh + 10d
 mov ax, not 0 and 0ff00h shr 8
 mov ax, (5 gt 3) or (2 le 1)
 mov ax, length arr + size arr + type arr
 mov ax, high 1234h + low 5678h
arr dw 4 dup(?)
cseg ends
end
