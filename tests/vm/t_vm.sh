#!/bin/bash
# VM rows: dosprep --sfdisk32 on a real kernel under QEMU, per disk driver:
# the geometry the driver reports, where the kernel sees partition 1 after
# the run, and the table the image holds afterwards; then the runner's
# refusals. Skips (77) without QEMU or a kernel for the VM.
# Usage: t_vm.sh [BUILD_DIR]
. "$(dirname "$0")/../lib/functions.sh"
build=${1:-${DOSPREP_BUILD:-$SRC/build}}
vm=$SRC/sandbox/vm
skip_unless qemu-system-x86_64
"$vm/kernel" >/dev/null 2>&1 || { echo "SKIP: no kernel for the VM (sandbox/vm/fetch-kernel)"; exit 77; }
[[ -x $build/dosprep && -x $build/sandbox/geoprobe ]] || { echo "FAIL: build dosprep and geoprobe first"; exit 1; }
tmp=$WORK

# 255/63/1000 sized disk; the payload writes a 400 MB FAT32 table.
sectors=16065000
mkdir -p "$tmp/p/vantor" && echo --sfdisk32 >"$tmp/p/args" && echo SCSI >"$tmp/p/vantor/ssprimary" &&
	printf '<bootpartition>\n  <megabytesize>400</megabytesize>\n</bootpartition>\n' >"$tmp/p/vantor/bootpartition.xml" &&
	truncate -s 16M "$tmp/t.img" && mkfs.fat -F 16 "$tmp/t.img" >/dev/null &&
	head -c 512 "$tmp/t.img" >"$tmp/p/vantor/dosboot.b" || { echo "FAIL: making the payload"; exit 1; }

# The disks, made by the sandbox: blank (its table wiped), or busy (an old
# FAT32 partition 1 at 2048).
make_disk() { # KIND IMAGE
	local setup=(--setup 'dd if=/dev/zero of=/dev/sssd count=1 conv=notrunc status=none')
	[[ $1 == busy ]] && setup=(--setup "echo 'start=2048, size=819200, type=c' | sfdisk -q /dev/sssd"
		--setup 'mkfs.fat -F 32 /dev/sssd1')
	rm -rf "$tmp/d" && disk "$tmp/d" --geometry 255/63/1000 --size 400 --format none --binary /bin/true \
		--preload "$build/sandbox/libdosprep-geometry.so" "${setup[@]}" && mv "$tmp/d/disk.img" "$2"
}

# driver | --geometry | disk | HDIO_GETGEO | kernel's partition 1 | image's partition 1 start
while read -r driver geo kind want_geo want_part want_start; do
	img=$tmp/disk.img want_part=${want_part//_/ }
	make_disk "$kind" "$img" || { echo "FAIL: making the $kind disk"; exit 1; }
	opts=()
	[[ $geo != - ]] && opts+=(--geometry "$geo")
	[[ $kind == busy ]] && opts+=(--busy)
	"$vm/vm-run" --driver "$driver" --disk "$img" --binary "$build/dosprep" --payload "$tmp/p" \
		--out "$tmp/out" --timeout 120 "${opts[@]}" 2>"$tmp/err"
	st=$?
	o=$tmp/out
	got="status $st, dosprep $(cat "$o/dosprep.status" 2>/dev/null), geometry $(cat "$o/geometry" 2>/dev/null)"
	got+=", kernel's sssd1 $(cat "$o/part1" 2>/dev/null)"
	got+=", image's start $(sfdisk -d "$img" 2>/dev/null | sed -n 's/.*1 : start= *\([0-9]*\),.*/\1/p')"
	expect "$driver $geo $kind" "$got" \
		"status 0, dosprep 0, geometry $want_geo, kernel's sssd1 $want_part, image's start $want_start"
	[[ $st == 0 ]] || cat "$tmp/err"
done <<'ROWS'
ide        -           blank 255/63/1000 63_822528   63
virtio-blk 32/63/7968  blank 32/63/7968  63_821205   63
nvme       -           blank 64/32/7844  32_819520   32
ide        -           busy  255/63/1000 2048_819200 63
ROWS

# The runner refuses with 125 and says why: arguments | message part
: >"$tmp/notakernel"
while IFS='|' read -r args want; do
	eval "set -- $args"
	msg=$("$vm/vm-run" --disk "$tmp/disk.img" --binary "$build/dosprep" --payload "$tmp/p" --out "$tmp/out" "$@" 2>&1)
	st=$?
	[[ $msg == *"$want"* ]] && msg="says $want"
	expect "refuses $args" "$st, ${msg//$'\n'/ }" "125, says $want"
done <<ROWS
--driver floppy|unknown driver 'floppy'
--driver ide --geometry 256/63/10|--geometry takes HEADS/SECTORS/CYLINDERS
--driver ide --kernel $tmp/none|no such kernel
--driver ide --kernel $tmp/notakernel|is not a kernel image
--driver ide --timeout 0|--timeout takes
ROWS
finish
