# The Debian package: cpack builds it from the build tree; its fields,
# dependencies and contents are checked with dpkg-deb, and lintian (when
# present) finds no error. Nothing is installed on this machine.
. "$(dirname "$0")/harness.sh"

BUILD=${DOSPREP_BUILD:-$(dirname "$BIN")}
if ! command -v cpack >/dev/null || ! command -v dpkg-deb >/dev/null \
        || [ ! -e "$BUILD/CPackConfig.cmake" ]; then
    echo "SKIP: cpack, dpkg-deb or the CPack configuration missing"
    exit 0
fi
(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg") >"$WORK/cpack.log" 2>&1
expect "cpack runs" "$?" 0
DEB=$(ls "$WORK"/pkg/dosprep_*.deb 2>/dev/null)
expect "file name" "$(basename "$DEB")" "dosprep_0.5.11_$(dpkg --print-architecture).deb"

field() { dpkg-deb -f "$DEB" "$1"; }
expect "Package"  "$(field Package)" dosprep
expect "Version"  "$(field Version)" 0.5.11
expect "Section"  "$(field Section)" admin
expect "Priority" "$(field Priority)" optional
expect "Maintainer has an address" "$(field Maintainer | grep -c '^[^<]\+ <[^@ ]\+@[^> ]\+>$')" 1
expect "Description has a body" "$(field Description | sed -n '3p' | grep -c '^ [a-z]')" 1
deps=$(field Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//' | sort | tr '\n' ' ')
expect "Depends" "$deps" "coreutils dosfstools fdisk libc6 mount util-linux "

# Contents: the same files as an install to /usr, all owned by root.
dpkg-deb -c "$DEB" >"$WORK/contents"
expect "owner root" "$(awk '{print $2}' "$WORK/contents" | sort -u)" root/root
files=$(awk '$1 !~ /^d/ {print $6}' "$WORK/contents" | sort | tr '\n' ' ')
want="./usr/sbin/dosprep ./usr/share/bash-completion/completions/dosprep ./usr/share/doc/dosprep/changelog.gz ./usr/share/doc/dosprep/copyright ./usr/share/lintian/overrides/dosprep ./usr/share/man/man8/dosprep.8.gz "
if [ -e "$SRC/sandbox/dosprep-sandbox" ]; then
    want=$(printf '%s\n' $want ./usr/sbin/dosprep-sandbox ./usr/lib/dosprep/bin/sfdisk \
        ./usr/lib/dosprep/libdosprep-geometry.so ./usr/share/man/man8/dosprep-sandbox.8.gz |
        sort | tr '\n' ' ')
fi
expect "contents" "$files" "$want"

# The packaged tool is stripped and runs.
dpkg-deb -x "$DEB" "$WORK/root"
expect "packaged --version" "$("$WORK/root/usr/sbin/dosprep" --version)" "dosprep ver 0.5.11"
expect "stripped" "$(readelf -S "$WORK/root/usr/sbin/dosprep" | grep -c '\.symtab')" 0

if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$DEB" >"$WORK/lintian" 2>&1
    expect "lintian errors" "$(grep '^E:' "$WORK/lintian")" ""
    expect "lintian warnings" "$(grep '^W:' "$WORK/lintian")" ""
else
    echo "SKIP: lintian missing"
fi

finish
