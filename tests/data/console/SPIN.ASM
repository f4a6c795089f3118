; SPIN.COM: never ends (jmp $), with interrupts enabled. nasm -f bin -o SPIN.COM SPIN.ASM
        org 100h
here:   jmp here
