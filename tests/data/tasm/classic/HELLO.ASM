.model tiny
.code
org 100h
start:  mov dx, offset msg
	mov ah, 09h
	int 21h
	ret
msg db 'Hello$'
end start
