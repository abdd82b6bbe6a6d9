; Test master boot record (bytes 0..439 of sector 0; the partition table and
; 55 AA stay the disk's own). Boots the active partition by a CHS read and
; deliberately hands the boot sector nothing but DL = drive.
;
; It moves itself to 0:0600, finds the entry marked 80h, asks the BIOS for
; its geometry (INT 13h AH=08) and prints it as "MBR: BIOS geometry H/S",
; converts the partition's start LBA to cylinder/head/sector by it, reads
; that sector to 0:7C00 (INT 13h AH=02, with resets and retries), checks
; 55 AA and jumps there with DL = drive and SI, BP = 0, so the boot sector
; has to find its partition through its hidden sectors.
        bits 16
        cpu 386
%include "chs.inc"
        org 0x0600

table   equ 0x0600 + 446

start:  cli
        xor ax, ax
        mov ss, ax
        mov sp, 0x7C00
        mov ds, ax
        mov es, ax
        sti
        cld
        mov si, 0x7C00
        mov di, 0x0600
        mov cx, 256
        rep movsw
        jmp 0:moved

moved:  mov [drive], dl
        mov si, table
        mov cx, 4
.find:  cmp byte [si], 0x80
        je found
        add si, 16
        loop .find
        mov si, msg_noact
        jmp fail

found:  mov ah, 0x08                ; BIOS geometry: CL 0-5 = sectors, DH = last head
        mov dl, [drive]
        push es
        int 0x13
        pop es
        jc read_error
        and cx, 0x3F
        jz read_error
        mov [spt], cx
        movzx dx, dh
        inc dx
        mov [heads], dx
        push si
        mov si, msg_geom
        call print
        mov ax, [heads]
        call decimal
        mov al, '/'
        call putc
        mov ax, [spt]
        call decimal
        mov si, msg_eol
        call print
        pop si

        mov eax, [si + 8]           ; start LBA of the partition
        CHS_OF_LBA
        mov bx, 0x7C00
        mov si, 4                   ; tries
.read:  mov ax, 0x0201
        mov dl, [drive]
        int 0x13
        jnc .done
        xor ax, ax
        mov dl, [drive]
        int 0x13
        dec si
        jnz .read
        jmp read_error
.done:  cmp word [0x7DFE], 0xAA55
        mov si, msg_nosig
        jne fail
        mov dl, [drive]
        xor si, si
        xor bp, bp
        jmp 0:0x7C00

%include "messages.inc"

decimal: xor cx, cx                 ; prints ax in decimal
        mov di, 10
.div:   xor dx, dx
        div di
        push dx
        inc cx
        test ax, ax
        jnz .div
.out:   pop ax
        add al, '0'
        call putc
        loop .out
        ret

msg_prefix db "MBR: ", 0
msg_geom   db "MBR: BIOS geometry ", 0
msg_eol    db 13, 10, 0
msg_noact  db "no active partition", 13, 10, 0
msg_read   db "disk read error", 13, 10, 0
msg_nosig  db "no boot signature", 13, 10, 0

drive   db 0
spt     dw 0
heads   dw 0

        times 440 - ($ - $$) db 0
