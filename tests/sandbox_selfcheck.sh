#!/bin/bash
# Self-check of sandbox/dosprep-sandbox, for what the black-box tables do not
# show: the geometry answer and failure as a probe sees them, the real /root
# left alone, no loop device left over.
#
#   tests/sandbox_selfcheck.sh [BUILD_DIR]   (default: build/sandbox)
#
# BUILD_DIR holds libdosprep-geometry.so and geoprobe. Needs root (loop
# devices); exits 77 (skipped) otherwise.
set -u
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$SRC/build/sandbox}
PROBE=$BUILD/geoprobe
[[ $(id -u) == 0 ]] || { echo "skipped: needs root"; exit 77; }
[[ -x $PROBE && -f $BUILD/libdosprep-geometry.so ]] || { echo "no geoprobe or libdosprep-geometry.so in $BUILD"; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sandbox-selfcheck.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PASSED=0 FAILED=0

sb() { "$SRC/sandbox/dosprep-sandbox" --preload "$BUILD/libdosprep-geometry.so" --keep "$WORK/k$((PASSED + FAILED))" "$@" </dev/null; }
expect() {  # NAME EXPECTED ACTUAL
    if [[ $2 == "$3" ]]; then PASSED=$((PASSED + 1)); else echo "FAIL: $1: expected [$2], got [$3]"; FAILED=$((FAILED + 1)); fi
}

expect "geometry" "0 129 99 0" "$(sb --geometry 0/129/99 --binary "$PROBE")"
expect "--no-geometry" "ioctl failed: Inappropriate ioctl for device / 1" "$(sb --no-geometry --binary "$PROBE") / $?"
# Other nodes keep what the kernel says.
expect "partition node" "ioctl failed: Inappropriate ioctl for device" "$(sb --binary "$PROBE" -- /dev/sssd1)"

before=$(stat -c '%i %Y %Z' /root) marker=dosprep-selfcheck-$$
expect "/root inside" "vantor" "$(sb --binary /bin/sh -- -c "touch /root/$marker && rm /root/$marker; ls -A /root")"
expect "/root outside" "$before no marker" "$(stat -c '%i %Y %Z' /root) $([[ -e /root/$marker ]] || echo no marker)"
expect "loop devices left" "" "$(losetup -l -n -O BACK-FILE | grep -F "$WORK/")"
echo "$PASSED passed, $FAILED failed"
((FAILED == 0))
