	title	Hello, listing
; A .COM program in the classic listing layout.
code	segment
	assume	cs:code, ds:code
	org	100h
start:	mov	dx, offset msg
	mov	ah, 09h
	int	21h
	rep	movsb
	mov	ax, 4C00h
	int	21h
bufsize	equ	20h
msg	db	'Hello, listing!', 0Dh, 0Ah, '$'
buf	db	bufsize dup(?)
count	dw	3 dup(7)
code	ends
	end	start
