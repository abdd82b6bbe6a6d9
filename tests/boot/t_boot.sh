#!/bin/bash
# Boot check rows: FAT16 and FAT32 partitions carrying the sample boot code
# boot under QEMU/SeaBIOS only when heads, sectors per track and hidden
# sectors of their parameter block match the disk. (A BIOS of another
# geometry is a row of tests/blackbox/t_rehearsal.sh.)
# Usage: t_boot.sh [DIR with mbr.bin fat16.bin fat32.bin]
set -u -o pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
bins=${1:-${DOSPREP_BUILD:-$src/build}/sandbox/boot}
boot=$src/sandbox/boot
for tool in qemu-system-x86_64 nasm mcopy mkfs.fat sfdisk; do
	command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
tmp=$(mktemp -d) && trap 'rm -rf -- "$tmp"' EXIT
msg='Line loaded past cylinder 0 and head 15'

# Disk of 255 heads, 63 sectors, 30 cylinders; partition 1 at 63, 100 MB,
# whose BOOTMSG.TXT lies past LBA 16065 behind a deleted 12 MiB filler.
make_disk() { # FAT-TYPE IMAGE
	local off=$((63 * 512))
	truncate -s $((255 * 63 * 30 * 512)) "$2" &&
		echo "start=63, size=204800, type=$([[ $1 == 16 ]] && echo 6 || echo c), bootable" | sfdisk -q "$2" &&
		mkfs.fat -F "$1" --invariant -g 255/63 -h 63 --offset 63 "$2" 102400 >/dev/null 2>&1 &&
		head -c 12M /dev/zero >"$tmp/FILLER" && printf '%s\r\nsecond line\r\n' "$msg" >"$tmp/BOOTMSG.TXT" &&
		mcopy -i "$2@@$off" "$tmp/FILLER" "$tmp/BOOTMSG.TXT" :: && mdel -i "$2@@$off" ::FILLER &&
		dd if="$2" of="$tmp/bs" bs=512 skip=63 count=1 status=none &&
		"$boot/put-bootcode" "FAT$1" "$bins/fat$1.bin" "$tmp/bs" &&
		dd if="$tmp/bs" of="$2" bs=512 seek=63 conv=notrunc status=none
}
make_disk 16 "$tmp/fat16.img" && make_disk 32 "$tmp/fat32.img" || { echo "FAIL: making the disks"; exit 1; }
le() { # VALUE BYTES: VALUE as BYTES little-endian bytes
	local v=$1 n s=''
	for ((n = $2; n > 0; n--, v >>= 8)); do s+=$(printf '\\x%02x' $((v & 255))); done
	printf "$s"
}

fails=0
# FAT | heads spt hidden in the parameter block | BIOS H/S | expected last line
while read -r fat heads spt hidden bios want; do
	img=$tmp/row.img
	cp --sparse=always "$tmp/fat$fat.img" "$img"
	{ le "$spt" 2; le "$heads" 2; le "$hidden" 4; } | dd of="$img" bs=1 seek=$((63 * 512 + 24)) conv=notrunc status=none
	before=$(stat -c '%y %s' -- "$img")
	out=$("$boot/bootcheck" --mbr "$bins/mbr.bin" --timeout 5 "$img" "$bios")
	status=$?
	kept=$([[ $before == "$(stat -c '%y %s' -- "$img")" ]] && echo kept || echo CHANGED)
	row="FAT$fat $heads/$spt/$hidden under $bios"
	[[ ${out##*$'\n'} == "$want" && $kept == kept ]] && { [[ $want != booted ]] || [[ $status == 0 && $out == *"$msg"* ]]; } &&
		echo "ok: $row: $want" && continue
	printf 'FAIL: %s: want %s, got (status %s, image %s):\n%s\n' "$row" "$want" "$status" "$kept" "$out"
	fails=$((fails + 1))
done <<'ROWS'
16 255 63 63 255/63 booted
32 255 63 63 255/63 booted
16 16  63 63 255/63 did not boot
16 255 63 0  255/63 did not boot
32 255 63 64 255/63 did not boot
16 255 32 63 255/63 did not boot
32 255 32 63 255/63 did not boot
ROWS
exit $((fails > 0))
