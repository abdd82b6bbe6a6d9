#!/bin/bash
# Boot check rows: FAT16 and FAT32 partitions carrying the sample boot code
# boot under QEMU/SeaBIOS only when heads, sectors per track and hidden
# sectors of their parameter block match the geometry the BIOS reports, its
# own for the disk's size and controller or a forced one; a boot that never
# ends says so. (A BIOS of another geometry is also a row of
# tests/blackbox/t_rehearsal.sh.)
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

# Disk of 255 heads, 63 sectors and CYLINDERS; partition 1 at 63, 100 MB,
# whose BOOTMSG.TXT lies past LBA 16065 behind a deleted 12 MiB filler.
make_disk() { # FAT-TYPE IMAGE CYLINDERS
	local off=$((63 * 512))
	truncate -s $((255 * 63 * $3 * 512)) "$2" &&
		echo "start=63, size=204800, type=$([[ $1 == 16 ]] && echo 6 || echo c), bootable" | sfdisk -q "$2" &&
		mkfs.fat -F "$1" $([[ $1 == 32 ]] && echo -s 1) --invariant -g 255/63 -h 63 --offset 63 "$2" 102400 >/dev/null 2>&1 &&
		head -c 12M /dev/zero >"$tmp/FILLER" && printf '%s\r\nsecond line\r\n' "$msg" >"$tmp/BOOTMSG.TXT" &&
		mcopy -i "$2@@$off" "$tmp/FILLER" "$tmp/BOOTMSG.TXT" :: && mdel -i "$2@@$off" ::FILLER &&
		dd if="$2" of="$tmp/bs" bs=512 skip=63 count=1 status=none &&
		"$boot/put-bootcode" "FAT$1" "$bins/fat$1.bin" "$tmp/bs" &&
		dd if="$tmp/bs" of="$2" bs=512 seek=63 conv=notrunc status=none
}
# hang: a disk whose own MBR code spins forever.
make_disk 16 "$tmp/fat16.img" 30 && make_disk 32 "$tmp/fat32.img" 30 &&
	make_disk 32 "$tmp/2g.img" 261 && make_disk 32 "$tmp/7g.img" 1000 &&
	truncate -s 1M "$tmp/hang.img" && printf '\xeb\xfe' | dd of="$tmp/hang.img" conv=notrunc status=none &&
	printf '\x55\xaa' | dd of="$tmp/hang.img" bs=1 seek=510 conv=notrunc status=none ||
	{ echo "FAIL: making the disks"; exit 1; }
le() { # VALUE BYTES: VALUE as BYTES little-endian bytes
	local v=$1 n s=''
	for ((n = $2; n > 0; n--, v >>= 8)); do s+=$(printf '\\x%02x' $((v & 255))); done
	printf "$s"
}

fails=0
# disk | heads spt hidden in its parameter block (-: none, and no test MBR) |
# bootcheck options | BIOS H/S (none: its own) | first line | last lines,
# / between lines
while IFS='|' read -r disk block opts bios first want; do
	for f in disk block opts bios first want; do read -r "$f" <<<"${!f}"; done
	img=$tmp/row.img mbr=()
	rm -f "$img" && cp --sparse=always "$tmp/$disk.img" "$img"
	if [[ $block != - ]]; then
		read -r heads spt hidden <<<"$block"
		{ le "$spt" 2; le "$heads" 2; le "$hidden" 4; } | dd of="$img" bs=1 seek=$((63 * 512 + 24)) conv=notrunc status=none
		mbr=(--mbr "$bins/mbr.bin")
	fi
	before=$(stat -c '%y %s' -- "$img")
	out=$("$boot/bootcheck" "${mbr[@]}" --timeout 5 $opts "$img" $bios)
	status=$?
	kept=$([[ $before == "$(stat -c '%y %s' -- "$img")" ]] && echo kept || echo CHANGED)
	row="$disk [$block] ${opts:+$opts }under ${bios:-its own BIOS geometry}"
	last=$(tail -n $(($(tr -cd / <<<"$want" | wc -c) + 1)) <<<"$out" | paste -sd/)
	[[ ${out%%$'\n'*} == "bios geometry: $first" && $last == "$want" && $kept == kept ]] &&
		{ [[ $want == booted ]] && [[ $status == 0 && $out == *"$msg"* ]] || [[ $want != booted && $status == 1 ]]; } &&
		echo "ok: $row: $want" && continue
	printf 'FAIL: %s: want %s, got (status %s, image %s):\n%s\n' "$row" "$want" "$status" "$kept" "$out"
	fails=$((fails + 1))
done <<'ROWS'
fat16|255 63 63|                       |255/63|255/63 |booted
fat32|255 63 63|                       |255/63|255/63 |booted
fat16|16  63 63|                       |255/63|255/63 |did not boot
fat16|255 63 0 |                       |255/63|255/63 |did not boot
fat32|255 63 64|                       |255/63|255/63 |did not boot
fat16|255 32 63|                       |255/63|255/63 |did not boot
fat32|255 32 63|                       |255/63|255/63 |did not boot
2g   |255 63 63|                       |      |128/63 |did not boot
7g   |255 63 63|                       |      |255/63 |booted
2g   |255 63 63|--controller ahci       |      |128/63 |did not boot
2g   |255 63 63|--controller virtio-scsi|      |64/63  |did not boot
7g   |255 63 63|--controller nvme       |      |255/63 |booted
7g   |255 63 63|--controller virtio-blk |16/63 |16/63  |did not boot
7g   |255 63 63|--controller virtio-scsi|255/63|255/63 |booted
hang |-        |--timeout 1             |      |unknown|timed out after 1 s with no verdict/did not boot
ROWS
exit $((fails > 0))
