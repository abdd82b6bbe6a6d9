; DOS-style boot sector program for a FAT16 (-DFAT=16) or FAT32 (-DFAT=32)
; partition: only the code region of the boot sector, bytes 62..509 (FAT16)
; or 90..509 (FAT32); put-bootcode places it into a sector made by mkfs.fat.
;
; It trusts nothing but its parameter block: the partition starts at the
; hidden sectors (28), and every sector is read by cylinder/head/sector
; computed with the block's own sectors per track (24) and heads (26),
; through INT 13h AH=02 only, on the drive in DL. It looks up BOOTMSG.TXT in
; the root directory (FAT16: the fixed root region; FAT32: the first cluster
; of the root directory only), reads the first sector of the file's first
; cluster and prints its first line, then "FATnn boot: ok". Any failure
; prints "FATnn boot: " and the reason instead. The line must be printable
; text, so that a read from the wrong place (mostly zeros) does not pass.
;
; With -DLOAD it is a loader's boot sector instead: it looks up LOADER.SYS
; the same way, reads the first sector of its first cluster to 0:8000 and
; jumps there with DL = drive, as a DOS boot sector starts its system file.
        bits 16
        cpu 386
%include "chs.inc"
%if FAT == 16
%define CODE 62
%elif FAT == 32
%define CODE 90
%else
%error "FAT must be 16 or 32"
%endif
        org 0x7C00 + CODE

bytes_per_sec   equ 0x7C00 + 11     ; assumed 512
sec_per_clus    equ 0x7C00 + 13
reserved        equ 0x7C00 + 14
num_fats        equ 0x7C00 + 16
root_entries    equ 0x7C00 + 17     ; FAT16
fat_size16      equ 0x7C00 + 22
spt             equ 0x7C00 + 24
heads           equ 0x7C00 + 26
hidden          equ 0x7C00 + 28
fat_size32      equ 0x7C00 + 36
root_cluster    equ 0x7C00 + 44
buffer          equ 0x8000
drive           equ 0x7A00          ; scratch below the stack
data_start      equ 0x7A04          ; first data sector, partition-relative

start:  cli
        xor ax, ax
        mov ss, ax
        mov sp, 0x7A00
        mov ds, ax
        mov es, ax
        sti
        cld
        mov [drive], dl

        ; first sector after the FATs, partition-relative
        movzx eax, byte [num_fats]
%if FAT == 16
        movzx ecx, word [fat_size16]
%else
        mov ecx, [fat_size32]
%endif
        mul ecx
        movzx ecx, word [reserved]
        add eax, ecx
%if FAT == 16
        ; the root directory region, then the data area
        mov bp, [root_entries]
        add bp, 15
        shr bp, 4                   ; sectors in the root directory
        movzx ecx, bp
        add ecx, eax
        mov [data_start], ecx
%else
        mov [data_start], eax
        mov eax, [root_cluster]
        call cluster_lba
        movzx bp, byte [sec_per_clus]   ; only the root's first cluster
%endif

next_dir_sector:
        mov bx, buffer
        call read
        mov di, bx
.entry: cmp byte [di], 0            ; end of the directory
        je not_found
        mov si, name
        mov cx, 11
        push di
        repe cmpsb
        pop di
        je found
        add di, 32
        cmp di, buffer + 512
        jb .entry
        inc eax
        dec bp
        jnz next_dir_sector
not_found:
        mov si, msg_nofile
        jmp fail

found:
%if FAT == 32
        mov ax, [di + 20]           ; high word of the first cluster
        shl eax, 16
        mov ax, [di + 26]
%else
        movzx eax, word [di + 26]
%endif
        call cluster_lba
        call read                   ; bx = buffer still
%ifdef LOAD
        mov dl, [drive]
        jmp 0:buffer
%else
        mov si, bx
        mov di, bx
.scan:  mov al, [di]                ; the line must be printable text
        cmp al, 13
        je .line
        cmp al, 10
        je .line
        test al, al
        jz .line
        cmp al, ' '
        jb .bad
        cmp al, '~'
        ja .bad
        inc di
        cmp di, buffer + 512
        jb .scan
.bad:   mov si, msg_notext
        jmp fail
.line:  cmp di, si                  ; an empty line is no proof either
        je .bad
        mov word [di], 0x0A0D
        mov byte [di + 2], 0
        call print
        mov si, msg_ok
        jmp fail
%endif

cluster_lba:                        ; eax = cluster -> eax = partition-relative sector
        sub eax, 2
        movzx ecx, byte [sec_per_clus]
        mul ecx
        add eax, [data_start]
        ret

read:   ; reads partition-relative sector eax to es:bx by CHS; keeps all registers
        pushad
        add eax, [hidden]
        CHS_OF_LBA
        mov si, 4                   ; tries
.try:   mov ax, 0x0201
        mov dl, [drive]
        int 0x13
        jnc .done
        xor ax, ax                  ; reset, then again
        mov dl, [drive]
        int 0x13
        dec si
        jnz .try
        jmp read_error
.done:  popad
        ret

%include "messages.inc"

%ifdef LOAD
name       db "LOADER  SYS"
%else
name       db "BOOTMSG TXT"
%endif
%if FAT == 16
msg_prefix db "FAT16 boot: ", 0
%else
msg_prefix db "FAT32 boot: ", 0
%endif
msg_ok     db "ok", 13, 10, 0
msg_read   db "disk read error", 13, 10, 0
%ifdef LOAD
msg_nofile db "no LOADER.SYS", 13, 10, 0
%else
msg_nofile db "no BOOTMSG.TXT", 13, 10, 0
msg_notext db "BOOTMSG.TXT holds no text line", 13, 10, 0
%endif

        times 510 - CODE - ($ - $$) db 0
