#!/bin/bash
# dosprep-sandbox --vm with faults: a power cut at each write (or flush) of
# the installer's order, each cut rerun and compared with the undisturbed
# run, an installer step not safe to rerun, and an I/O error under dosprep's
# write of the boot sector. Skips (77) without QEMU or a kernel for the VM.
# Usage: t_faults_vm.sh path/to/dosprep
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64
"$SRC/sandbox/vm/kernel" >/dev/null 2>&1 || { echo "SKIP: no kernel for the VM (tools/deps)"; exit 77; }
order="--vm ide --start dos --geometry 255/63/1000 --size 400 --setup 'dosprep --sfdisk32'"
mkfs="--setup 'mkfs.fat -F 32 /dev/sssd1'"
# An installer step that makes a file system only where none is found. A
# real kernel's blkid finds partition 1's PARTUUID on a partition with no
# file system and exits 0: the first never runs mkfs.fat; the second asks
# for a FAT and does, and a cut inside it leaves one that is found.
unsafe=(--setup 'blkid /dev/sssd1 || mkfs.fat -F 32 /dev/sssd1')
vfat=(--setup 'blkid -t TYPE=vfat /dev/sssd1 || mkfs.fat -F 32 /dev/sssd1')

# Each report line a row wants (a glob some line matches; "!GLOB": none
# does), in the report or the sandbox's output, and its status.
# name | sandbox options | wanted lines, joined by " ; "
while IFS='|' read -r name opts want; do
	eval "set -- $opts"
	"$SANDBOX" --binary "$BIN" "$@" --report "$WORK/report" -- --write32 >"$WORK/out" 2>&1
	got="status $?"
	mapfile -t lines < <(cat "$WORK/report" "$WORK/out" 2>/dev/null)
	IFS=$'\037' read -ra globs <<<"${want//' ; '/$'\037'}"
	for g in "${globs[@]}"; do
		g=${g# } g=${g% } hit=none
		for l in "${lines[@]}"; do [[ $l == ${g#!} ]] && hit=$l && break; done
		if [[ $g == !* ]]; then [[ $hit == none ]] && got+="; $g" || got+="; found $hit"; else
			[[ $hit == none ]] && got+="; missing $g" || got+="; $g"; fi
	done
	expect "$name" "$got" "status 0; ${want//' ; '/; }" || sed -n '/^== power cut/,$p;/^== I\/O/,$p' "$WORK/report"
done <<ROWS
installer's order|$order $mkfs --power-cut --boot|== power cut at each of 4 writes ; writes per step: setup 1: 1 (8 sectors), setup 2: 2 (1656 sectors), dosprep: 1 (16 sectors); the guest counted the same sectors ; cut points: 31, * ; reruns: 10, * ; !write 4 (dosprep)* ; !note: * ; the rerun ends as an undisturbed run after 31 of 31 cuts; it boots after 31 of 31
at flushes, no boot|$order $mkfs --power-cut flushes|== power cut at each of 3 flushes ; !cut points* ; the rerun ends as an undisturbed run after 3 of 3 cuts
blkid before mkfs|$order "\${unsafe[@]}" --power-cut --boot|== setup: blkid /dev/sssd1 ?? mkfs.fat -F 32 /dev/sssd1 ; /dev/sssd1: PARTUUID="0b0075ec-01" ; writes per step: setup 1: 1 (8 sectors), setup 2: 0 (0 sectors), dosprep: 1 (16 sectors); * ; !note: * ; the rerun ends as an undisturbed run after 24 of 24 cuts; it boots after 0 of 24
blkid for a FAT before mkfs|--vm ide --start blank --geometry 255/63/1000 --size 400 --setup 'dosprep --sfdisk32' "\${vfat[@]}" --power-cut --boot|!note: * ; write 2 (setup 2: blkid -t TYPE=vfat /dev/sssd1 ?? mkfs.fat -F 32 /dev/sssd1) torn after 6 of its 1024 sectors, 63-68 (boot area of partition 1 sector 0-5): fsck (not clean (status 1): "Both FATs appear to be corrupt. Giving up. Run fsck.fat with non-zero -F option."); did not boot ; write 2 (*) torn after 840 of its 1024 sectors, * FAT 1): fsck (not clean (status 1): "FATs differ - using first FAT."); booted ; the rerun ends as an undisturbed run after 27 of 31 cuts; it boots after 28 of 31
boot sector write fails|--vm ide --geometry 255/63/1000 --size 400 --io-error boot-sector:write|12+0 records out ; == I/O errors injected at sector 63 (boot area of partition 1 sector 0): writes fail with EIO ; dosprep: * I/O errors, 1 of them writes; the first: I/O error, dev sda, sector 63 op 0x1:(WRITE) * ; warning: dosprep ended with status 0, but 1 of its writes failed
ROWS
finish
