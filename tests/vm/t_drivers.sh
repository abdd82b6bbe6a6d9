#!/bin/bash
# dosprep-sandbox --vm on the SCSI, USB and SD card drivers, in the
# installer's order (dosprep --sfdisk32, mkfs.fat -F 32, dosprep --write32,
# 1000 MB): the geometry each driver reports, where partition 1 ends up, the
# warnings the report draws from the kernel's answer and the boot through
# the same controller; a driver that finds its controller and no disk; the
# BIOS that reads nothing from a controller; Bochs's BIOS and what it
# refuses. Skips (77) without QEMU or a kernel for the VM.
# Usage: t_drivers.sh path/to/dosprep
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64
"$SRC/sandbox/vm/kernel" >/dev/null 2>&1 || { echo "SKIP: no kernel for the VM (tools/deps)"; exit 77; }
order="--size 1000 --setup 'dosprep --sfdisk32' --setup 'mkfs.fat -F 32 /dev/sssd1'"
g2='--geometry 255/63/261' g8='--geometry 255/63/1044'
bochs=no # Bochs's BIOS (package bochsbios)
[[ -f /usr/share/bochs/BIOS-qemu-latest ]] && bochs=yes

# Each line that a row wants: its status, then globs that some line of the
# report (or of standard error, when there is no report) matches.
# name | sandbox options | status ; wanted lines, joined by " ; "
while IFS='|' read -r name opts want; do
	[[ $opts != *'--bios bochs'* || $bochs == yes ]] || { echo "SKIP: $name (no bochsbios)"; continue; }
	eval "set -- $opts"
	rm -f "$WORK/report"
	"$SANDBOX" --binary "$BIN" "$@" --report "$WORK/report" -- --write32 >"$WORK/out" 2>"$WORK/err"
	got="status $?"
	mapfile -t lines < <(cat "$WORK/report" 2>/dev/null || cat "$WORK/err")
	mapfile -t globs <<<"${want//' ; '/$'\n'}"
	for g in "${globs[@]:1}"; do
		for l in "${lines[@]}" none; do [[ $l == $g ]] && break; done
		[[ $l == none ]] && got+=" ; missing $g" || got+=" ; $g"
	done
	expect "$name" "$got" "$want" || { cat "$WORK/err"; sed -n '/^== boot under/,$p' "$WORK/report" 2>/dev/null; }
done <<ROWS
megasas, 8 GiB: 255/63, boots|--vm megasas $g8 $order --boot|status 0 ; == kernel *, boot disk on megasas as /dev/sda, HDIO_GETGEO 255/63/1044 ; /dev/sssd1 : start=          63, size=     2048256, type=c, bootable ; == boot under a BIOS of 255/63 ; booted
usb-storage, 8 GiB: 64/32|--vm usb-storage $g8 $order --boot|status 0 ; == kernel *, boot disk on usb-storage as /dev/sda, HDIO_GETGEO 64/32/8189 ; == partition 1 as the kernel sees it: start 32, size 2048800 ; sectors per track (24-25): * -> 32 ; the boot code read sector 8001 (free space in partition 1) *; BIOS 255/63, boot sector 255/32 ; did not boot
sd-card, 2 GiB: cylinders wrap, 100 MB|--vm sd-card $g2 $order|status 0 ; == kernel *, boot disk on sd-card as /dev/mmcblk0, HDIO_GETGEO 4/16/0 ; /dev/sssd1 : start=          16, size=      204800, type=c, bootable ; warning: HDIO_GETGEO gives 0 cylinders for the disk's 4194304 sectors, which make 65536 cylinders of 4/16: the 16-bit count wrapped ; warning: HDIO_GETGEO gives 16 sectors per track, neither 63 nor 32: dosprep starts partition 1 at sector 16, but its FAT32 boot area (--write32) gets 32 sectors per track and 32 hidden sectors ; warning: partition 1 has 204800 sectors, fewer than the 1000 MB (2048000 sectors) bootpartition.xml asks for: dosprep makes it 100 MB * ; hidden sectors (28-31): 16 -> 32
mptsas: controller, no disk|--vm mptsas $g2 $order|status 125 ; dosprep-sandbox: --vm mptsas: the kernel found the controller but no disk on it within 30 s (scsi host0: ioc0: LSISAS1068 *); its messages: vm/dmesg with --keep
bochs on ide, 8 GiB|$g8 $order --boot --bios bochs|status 0 ; == boot under a BIOS of 255/63 (bochs) ; read sector *: BOOTMSG.TXT cluster * ; the sample boot program read BOOTMSG.TXT, which it prints next (Bochs's BIOS shows no screen text) ; booted
bochs on ide, 2 GiB|$g2 $order --boot --bios bochs|status 0 ; == boot under a BIOS of 128/63 (bochs) ; the boot code read sector * after the root directory at sector 4095, *; BIOS 128/63, boot sector 255/63 ; did not boot
bochs refused on ahci|--vm ahci --boot --bios bochs|status 125 ; dosprep-sandbox: --bios bochs: Bochs's BIOS drives IDE disks only (ide), not ahci
ROWS

# bootcheck itself: the BIOS that finds no disk on a controller reads
# nothing (QEMU's own read of sector 0 aside), and Bochs's BIOS on another
# controller is a usage error. The disk is one a simulated run prepared.
bootcheck=$SRC/sandbox/boot/bootcheck
disk "$WORK/d" --binary "$BIN" $g8 --size 100 -- --write32 || exit 1
while IFS='|' read -r name opts want; do
	"$bootcheck" --mbr "${DISKBYTES%/*}/boot/mbr.bin" $opts "$WORK/d/disk.img" >"$WORK/bc" 2>&1
	got="status $?"
	got="$(grep -v '^ *\[\|^usage' "$WORK/bc" | tail -n 2 | paste -sd /), $got"
	expect "$name" "$got" "$want"
done <<'ROWS'
usb-uas: the BIOS reads nothing|--controller usb-uas|the BIOS read nothing from the disk on usb-uas: it cannot boot from this controller/did not boot, status 1
bochs on usb-storage|--controller usb-storage --bios bochs|bootcheck: --bios bochs: Bochs's BIOS drives IDE disks only (ide), not usb-storage, status 2
ROWS
finish
