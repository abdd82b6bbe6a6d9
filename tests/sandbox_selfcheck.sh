#!/bin/bash
# Self-check of sandbox/dosprep-sandbox: runs small probes in place of
# dosprep and looks at what they see and what lands in the kept images.
#
#   tests/sandbox_selfcheck.sh [BUILD_DIR]   (default: build/sandbox)
#
# BUILD_DIR holds libdosprep-geometry.so and geoprobe. Needs root (loop
# devices); exits 77 (skipped) otherwise.
set -u
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$SRC/build/sandbox}
SANDBOX=$SRC/sandbox/dosprep-sandbox
PROBE=$BUILD/geoprobe
if [[ $(id -u) != 0 ]]; then
	echo "skipped: needs root"
	exit 77
fi
[[ -x $PROBE && -f $BUILD/libdosprep-geometry.so ]] || {
	echo "no geoprobe or libdosprep-geometry.so in $BUILD"
	exit 1
}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sandbox-selfcheck.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PASSED=0 FAILED=0 N=0

sb() { "$SANDBOX" --preload "$BUILD/libdosprep-geometry.so" "$@"; }
ok() { PASSED=$((PASSED + 1)); }
fail() {
	echo "FAIL: $*"
	FAILED=$((FAILED + 1))
}
expect() { # NAME EXPECTED ACTUAL
	if [[ $2 == "$3" ]]; then ok; else fail "$1: expected [$2], got [$3]"; fi
}
new_keep() { # sets k to a fresh --keep directory
	N=$((N + 1))
	k=$WORK/k$N
}
sector() { dd if="$1" bs=512 skip="$2" count=1 status=none | od -An -v -tx1 | tr -d ' \n'; }

geometry_is_reported() {
	expect "default geometry" "255 63 1024 0" "$(sb --binary "$PROBE" </dev/null)"
	expect "odd geometry" "0 129 99 0" "$(sb --geometry 0/129/99 --binary "$PROBE" </dev/null)"
	expect "through the boot node" "16 32 7 0" "$(sb --geometry 16/32/7 --binary "$PROBE" -- /dev/sda)"
	local out rc
	out=$(sb --no-geometry --binary "$PROBE")
	rc=$?
	expect "--no-geometry" "ioctl failed: Inappropriate ioctl for device / 1" "$out / $rc"
	# Other nodes keep what the kernel says.
	expect "partition node" "ioctl failed: Inappropriate ioctl for device" \
		"$(sb --binary "$PROBE" -- /dev/sssd1)"
}

nodes_are_laid_out() {
	local out
	out=$(sb --binary /bin/ls -- -al /dev/sssd)
	[[ $out == *" /dev/sssd -> /dev/sda" ]] && ok || fail "ls -al /dev/sssd: $out"
	out=$(sb --boot-node /dev/tov/c0d0 --disks 2 --disk /dev/hdq --binary /bin/sh -- -c \
		'readlink /dev/sssd; for n in /dev/tov/c0d1 /dev/tov/c0d2 /dev/hdq; do head -c 24 $n; echo; done
		 test -e /dev/tov/c0d3 && echo extra')
	expect "nested boot node and following disks" "/dev/tov/c0d0
sandbox disk /dev/tov/c0
sandbox disk /dev/tov/c0
sandbox disk /dev/hdq sa" "$out"
	expect "--no-partition" "/dev/sssd" "$(sb --no-partition --binary /bin/sh -- -c 'ls -d /dev/sssd*')"
	expect "--no-disk" "none" "$(sb --no-disk --binary /bin/sh -- -c 'ls -d /dev/sssd* /dev/sda 2>/dev/null || echo none')"
}

partition_writes_land() { # [--partition-file]
	local k what=${1:-loop device}
	new_keep
	sb "$@" --keep "$k" --binary /bin/sh -- -c \
		'printf "written to sssd1" >/root/vantor/s && dd if=/root/vantor/s of=/dev/sssd1 bs=512 count=1 conv=sync status=none'
	expect "$what: image size" $((255 * 63 * 1024 * 512)) "$(stat -c %s "$k/disk.img")"
	expect "$what: sector 63" "$(printf 'written to sssd1' | od -An -tx1 | tr -d ' \n')$(printf '%0992d' 0)" \
		"$(sector "$k/disk.img" 63)"
	# The FAT32 information sector right after it is still there.
	expect "$what: sector 64" 52526141 "$(sector "$k/disk.img" 64 | head -c 8)"
	expect "$what: sector 62" "$(printf '%01024d' 0)" "$(sector "$k/disk.img" 62)"
}

table_is_rewritten() {
	local k out
	new_keep
	# Partition 1 made at sector 32; dosprep's table puts it at 63, and what
	# is then written to /dev/sssd1 must follow.
	out=$(sb --geometry 64/32/200 --keep "$k" --binary /bin/sh -- -c '
		printf "/dev/sssd1 : start=       63, size= 104832, Id= c, bootable\n/dev/sssd2 : start=        0, size=       0, Id= 0\n" >/root/vantor/t.sfdisk
		sfdisk --force -S 63 /dev/sssd </root/vantor/t.sfdisk >/dev/null 2>&1; echo $?
		printf "after" | dd of=/dev/sssd1 bs=512 conv=sync status=none')
	expect "sfdisk status" 0 "$out"
	expect "new table" "label-id: 0x0b0075ec|$k/disk.img1 : start=          63, size=      104832, type=c, bootable" \
		"$(sfdisk --dump "$k/disk.img" | grep -e label-id -e start= | paste -sd'|')"
	expect "write after the new table" "6166746572" "$(sector "$k/disk.img" 63 | head -c 10)"
	expect "old start untouched" "eb58906d6b" "$(sector "$k/disk.img" 32 | head -c 10)"
}

run_is_transparent() {
	local out err rc
	out=$(echo in | sb --binary /bin/sh -- -c 'read x; printf "out:%s:%s" "$x" "$0"; printf err >&2; exit 3' 2>"$WORK/err")
	rc=$?
	expect "stdout" "out:in:dosprep" "$out"
	expect "stderr" "err" "$(<"$WORK/err")"
	expect "status" 3 "$rc"
	err=$(sb --setup 'exit 4' --binary /bin/true 2>&1)
	rc=$?
	expect "failed setup" "125 dosprep-sandbox: setup command failed (status 4): exit 4" "$rc $err"
	out=$(sb --controller - --check 'ls /root/vantor' --report - --binary /bin/sh -- -c 'echo x >/root/vantor/new' |
		grep -e '^created' -e '^bootpartition' -e '^ssprimary')
	expect "report and check" "created new $(echo x | sha256sum | cut -d' ' -f1)
bootpartition.xml" "$out"
}

root_is_untouched() {
	local before marker=dosprep-selfcheck-$$
	before=$(stat -c '%i %Y %Z' /root)
	expect "/root inside" "vantor" "$(sb --binary /bin/sh -- -c "touch /root/$marker && rm /root/$marker; ls -A /root")"
	expect "/root outside" "$before" "$(stat -c '%i %Y %Z' /root)"
	[[ ! -e /root/$marker ]] && ok || fail "/root/$marker exists"
}

geometry_is_reported
nodes_are_laid_out
partition_writes_land
partition_writes_land --partition-file
table_is_rewritten
run_is_transparent
root_is_untouched
# No loop device may be left over any image of this check.
if losetup -l -n -O BACK-FILE | grep -qF "$WORK/"; then fail "loop devices left"; else ok; fi
echo "$PASSED passed, $FAILED failed"
((FAILED == 0))
