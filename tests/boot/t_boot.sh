#!/bin/bash
# Boot check rows: FAT16 and FAT32 partitions carrying the sample boot code
# boot under QEMU/SeaBIOS only when heads, sectors per track and hidden
# sectors of their parameter block match the geometry the BIOS reports, its
# own for the disk's size and controller or a forced one, which the BIOS
# names whatever the MBR; a boot that never ends says so. (A BIOS of another geometry is also a row of
# tests/blackbox/t_rehearsal.sh.)
# Usage: t_boot.sh [DIR with mbr.bin fat16.bin fat32.bin]
. "$(dirname "$0")/../lib/functions.sh"
bins=${1:-${DOSPREP_BUILD:-$SRC/build}/sandbox/boot}
DISKBYTES=$bins/../diskbytes
boot=$SRC/sandbox/boot
skip_unless qemu-system-x86_64 nasm mcopy mkfs.fat sfdisk
msg='The sample boot program read this line from BOOTMSG.TXT.'

# Disks of 255 heads, 63 sectors and CYLINDERS as the sandbox makes them:
# partition 1 at 63, 100 MB, made active, whose BOOTMSG.TXT lies past the
# first cylinder; dosprep writes the sample boot code to it.
binary=() # the project's build; a build of the sandbox alone finds one itself
[[ -x $bins/../../dosprep ]] && binary=(--binary "$bins/../../dosprep")
make_disk() { # FAT-TYPE NAME CYLINDERS
	disk "$WORK/$2" --geometry 255/63/$3 --size 100 --format "$1" "${binary[@]}" \
		--preload "$bins/../libdosprep-geometry.so" --setup 'sfdisk -q --activate /dev/sssd 1' -- "--write$1" &&
		mv "$WORK/$2/disk.img" "$WORK/$2.img"
}
# hang: a disk whose own MBR code spins forever.
make_disk 16 fat16 30 && make_disk 32 fat32 30 && make_disk 32 2g 261 && make_disk 32 7g 1000 &&
	truncate -s 1M "$WORK/hang.img" && printf '\xeb\xfe' | dd of="$WORK/hang.img" conv=notrunc status=none &&
	printf '\x55\xaa' | dd of="$WORK/hang.img" bs=1 seek="$(offset signature)" conv=notrunc status=none ||
	{ echo "FAIL: making the disks"; exit 1; }
put() { # IMAGE FIELD VALUE: VALUE, little-endian, into FIELD of partition 1's boot sector (at 63)
	local v=$3 first last s=''
	read -r first last <<<"$(span "$2")"
	for ((; last >= first; last--, v >>= 8)); do s+=$(printf '\\x%02x' $((v & 255))); done
	printf "$s" | dd of="$1" bs=1 seek=$((63 * 512 + first)) conv=notrunc status=none
}

# disk | heads spt hidden in its parameter block (-: none, and no test MBR) |
# bootcheck options | BIOS H/S (none: its own) | first line | last lines,
# / between lines
while IFS='|' read -r disk block opts bios first want; do
	for f in disk block opts bios first want; do read -r "$f" <<<"${!f}"; done
	img=$WORK/row.img mbr=()
	rm -f "$img" && cp --sparse=always "$WORK/$disk.img" "$img"
	if [[ $block != - ]]; then
		read -r heads spt hidden <<<"$block"
		put "$img" sectors_per_track "$spt" && put "$img" heads "$heads" && put "$img" hidden_sectors "$hidden"
		mbr=(--mbr "$bins/mbr.bin")
	fi
	before=$(stat -c '%y %s' -- "$img")
	out=$("$boot/bootcheck" "${mbr[@]}" --timeout 5 $opts "$img" $bios)
	status=$?
	kept=$([[ $before == "$(stat -c '%y %s' -- "$img")" ]] && echo kept || echo CHANGED)
	row="$disk [$block] ${opts:+$opts }under ${bios:-its own BIOS geometry}"
	last=$(tail -n $(($(tr -cd / <<<"$want" | wc -c) + 1)) <<<"$out" | paste -sd/)
	verdict=$want
	[[ ${out%%$'\n'*} == "bios geometry: $first" && $last == "$want" && $kept == kept ]] &&
		{ [[ $want == booted ]] && [[ $status == 0 && $out == *"$msg"* ]] || [[ $want != booted && $status == 1 ]]; } ||
		verdict="status $status, image $kept:"$'\n'"$out"
	expect "$row" "$verdict" "$want"
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
hang |-        |--timeout 3             |      |16/63  |timed out after 3 s with no verdict/did not boot
ROWS
finish
