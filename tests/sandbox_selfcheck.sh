#!/bin/bash
# Self-check of sandbox/dosprep-sandbox, for what the black-box tables do not
# show: the geometry answer and failure as a probe sees them, the real /root
# left alone, no loop device left over, not even by a run that was killed.
#
#   tests/sandbox_selfcheck.sh [BUILD_DIR]   (default: build/sandbox)
#
# BUILD_DIR holds libdosprep-geometry.so and geoprobe. Needs root (loop
# devices); exits 77 (skipped) otherwise.
. "$(dirname "${BASH_SOURCE[0]}")/lib/functions.sh"
BUILD=${1:-$SRC/build/sandbox}
PROBE=$BUILD/geoprobe
[[ $(id -u) == 0 ]] || { echo "skipped: needs root"; exit 77; }
[[ -x $PROBE && -f $BUILD/libdosprep-geometry.so ]] || { echo "no geoprobe or libdosprep-geometry.so in $BUILD"; exit 1; }

sb() { "$SANDBOX" --preload "$BUILD/libdosprep-geometry.so" --keep "$WORK/k$((PASSED + FAILED))" "$@" </dev/null; }

expect "geometry" "$(sb --geometry 0/129/99 --binary "$PROBE")" "0 129 99 0"
expect "--no-geometry" "$(sb --no-geometry --binary "$PROBE") / $?" "ioctl failed: Inappropriate ioctl for device / 1"
# Partition 1 answers as a kernel's partition does: the disk's geometry and
# its own start; other nodes keep what the kernel says.
expect "partition node" "$(sb --binary "$PROBE" -- /dev/sssd1)" "255 63 1024 63"
expect "other node" "$(sb --binary "$PROBE" -- /dev/null)" "ioctl failed: Inappropriate ioctl for device"
# /dev/sssd1 follows partition 1 to where a command moved it.
expect "partition moved" "$(sb --binary /bin/bash --setup 'echo start=2048,size=8 | sfdisk -q /dev/sssd' -- \
    -c 'blockdev --getsz /dev/sssd1; cmp /dev/sssd1 <(dd if=/dev/sssd skip=2048 count=8 status=none) && echo same')" "8
same"

before=$(stat -c '%i %Y %Z' /root) marker=dosprep-selfcheck-$$
expect "/root inside" "$(sb --binary /bin/sh -- -c "touch /root/$marker && rm /root/$marker; ls -A /root")" "vantor"
expect "/root outside" "$(stat -c '%i %Y %Z' /root) $([[ -e /root/$marker ]] || echo no marker)" "$before no marker"
# The loop device of /dev/sssd1 is free after a run, even when its inside
# was killed (a --setup command that has not ended yet).
while IFS='|' read -r name opt kill; do
    sb --binary /bin/true "$opt" "stat -c %Hr:%Lr /dev/sssd1 >$WORK/dev$kill" >/dev/null 2>&1
    sleep 0.2
    expect "loop device after a run that $name" \
        "$(cat "$WORK/dev" /sys/dev/block/"$(cat "$WORK/dev")"/loop/backing_file 2>/dev/null | wc -l)" 1
done <<'ROWS'
ended |--check|
killed|--setup|; kill -9 $PPID
ROWS
finish
