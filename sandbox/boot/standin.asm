; One sector of the stand-in loader that --loader NAME puts on partition 1:
; the file is this sector over and over, so that wherever boot code jumps
; into it (any sector, any byte before the code below) it slides through
; the no-ops to a print of "STAND-IN LOADER: jumped into it" and a halt.
; Position-independent real-mode code: it finds its message from its own
; address, whatever segment and offset it was loaded at.
        bits 16
        cpu 386
        org 0

        times 512 - (code_end - code) - 2 db 0x90
code:   cli
        call .here
.here:  pop si                      ; si = offset of .here in cs
        add si, msg - .here
        push cs
        pop ds
        cld
        sti
.next:  lodsb
        test al, al
        jz .halt
        mov ah, 0x0E
        mov bx, 7
        int 0x10
        jmp .next
.halt:  hlt
        jmp .halt
msg:    db "STAND-IN LOADER: jumped into it", 13, 10, 0
code_end:
        db 0x90, 0x90               ; the sector's last two bytes: never 55 AA
