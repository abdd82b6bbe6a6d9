# The Debian package: cpack builds it from the build tree; its fields,
# dependencies and contents are checked with dpkg-deb, and lintian (when
# present) finds no error. Nothing is installed on this machine.
. "$(dirname "$0")/../lib/functions.sh"

BUILD=${DOSPREP_BUILD:-$(dirname "$BIN")}
if ! command -v cpack >/dev/null || ! command -v dpkg-deb >/dev/null || [ ! -e "$BUILD/CPackConfig.cmake" ]; then
    echo "SKIP: cpack, dpkg-deb or the CPack configuration missing"
    exit 0
fi
(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg") >"$WORK/cpack.log" 2>&1
expect "cpack runs" "$?" 0
DEB=$(ls "$WORK"/pkg/dosprep_*.deb 2>/dev/null)
expect "file name" "$(basename "$DEB")" "dosprep_0.5.11_$(dpkg --print-architecture).deb"
field() { dpkg-deb -f "$DEB" "$1"; }
expect "fields" "$(field Package) $(field Version) $(field Section) $(field Priority)" "dosprep 0.5.11 admin optional"
expect "Depends" "$(field Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//' | sort | tr '\n' ' ')" "coreutils dosfstools fdisk libc6 mount mtools util-linux "
expect "Suggests" "$(field Suggests)" "qemu-system-x86, e2fsprogs, busybox-static"

# Contents: the files and modes of an install to /usr. The maintainer's
# address, the long description and the owners are lintian's to check.
expect "contents" "$(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ {print $1, substr($6, 7)}' | sort -k2)" "$(cat "$EXPECTED/installed-files")"

# The packaged tool is stripped and runs.
dpkg-deb -x "$DEB" "$WORK/root"
expect "packaged --version" "$("$WORK/root/usr/sbin/dosprep" --version)" "dosprep ver 0.5.11"
rehearses "packaged rehearsal" "$WORK/root/usr"
expect "stripped" "$(readelf -S "$WORK/root/usr/sbin/dosprep" | grep -c '\.symtab')" 0
if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$DEB" >"$WORK/lintian" 2>&1
    expect "lintian errors and warnings" "$(grep -e '^E:' -e '^W:' "$WORK/lintian")" ""
else
    echo "SKIP: lintian missing"
fi

finish
