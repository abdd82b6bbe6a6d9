# Faults around every file the tool reads or writes: missing, empty, a
# directory, a dangling link, far larger than expected, a read that fails
# midway (a file on a filesystem whose device ends inside it), writes that
# fail (/dev/full, a read-only mount). Each row is bounded by `timeout`; no
# crash, no hang, and no input left shorter than it was.
#
# As root the table runs in a private mount namespace of its own, so that the
# broken filesystem it mounts is seen by the sandboxes it starts and by no
# one else; elsewhere the rows that need it are skipped.
if [ -z "${DOSPREP_FAULTS_NS:-}" ] && [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
    DOSPREP_FAULTS_NS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/harness.sh"

T="timeout -k 5 60"
BIN_REAL=$BIN
BIN="$WORK/bounded"  # the rows run the binary under timeout
printf '#!/bin/sh\nexec %s %q "$@"\n' "$T" "$BIN_REAL" >"$BIN"
chmod 755 "$BIN" "$WORK"

F=$WORK/files
mkdir -p "$F/dir"
ln -s "$F/nowhere" "$F/dangling"
NOENT='No such file or directory'
OPENERR="Error Openning File : $NOENT\n"

# The --show listing of the first COUNT bytes of FILE, built with od.
listing() {
    head -c "$2" "$1" | od -An -Ad -tx1 -v -w16 | awk '
        NF > 1 { a = $1 + 0
                 if (a > 0 && a % 512 == 0) printf "\n"
                 printf "\n%04x:", a
                 for (i = 2; i <= NF; i++) printf " %s", $i }'
    printf '\n          %d bytes were found in file\n' "$2"
}
diff_head() { printf 'dosprep32:  Compare Function  \\n  Byte offset     %s    %s \\n' "$1" "$2"; }

# A filesystem whose device ends 16384 bytes into the file broken/big: reads
# past that point fail with EIO. src/big is the same 64 KiB, whole.
BROKEN=
trap 'umount -l "$WORK/broken" 2>/dev/null; rm -rf "$WORK"' EXIT
make_broken() {
    [ -n "${DOSPREP_FAULTS_NS:-}" ] || return 1
    local img=$WORK/broken.img start loop
    mkdir -p "$WORK/broken" "$F/src"
    head -c 65536 /dev/urandom >"$F/src/big"
    truncate -s 4M "$img"
    mkfs.ext4 -q -F -b 4096 -O ^has_journal "$img" || return 1
    mount -o loop "$img" "$WORK/broken" || return 1
    cp "$F/src/big" "$WORK/broken/big"
    umount "$WORK/broken"
    start=$(debugfs -R 'blocks /big' "$img" 2>/dev/null | awk '{print $1}')
    [ -n "$start" ] || return 1
    mount -o loop,ro "$img" "$WORK/broken" || return 1
    loop=$(findmnt -no SOURCE "$WORK/broken")
    truncate -s $(((start + 4) * 4096)) "$img"
    losetup -c "$loop" || return 1
    BROKEN=$WORK/broken
}
make_broken 2>/dev/null || echo "t_faults: no broken filesystem here (needs root); its rows are skipped"

# ---- --show and --diff, outside the sandbox ----
head -c 1048576 /dev/urandom >"$F/mega"
head -c 8388608 /dev/zero >"$F/z8m"; cp "$F/z8m" "$F/y8m"; printf '\001' | dd of="$F/y8m" bs=1 seek=8388607 conv=notrunc status=none
listing "$F/mega" 1048576 >"$WORK/mega.listing"

# name                        sandbox  arguments                        stdout  stderr  status
check "show dangling link"     -  "--show $F/dangling"                 ""      "$OPENERR"  0
check "show one megabyte"      -  "--show $F/mega"                     "$(cat "$WORK/mega.listing")\n" "" 0
check "diff 8 MiB, last byte"  -  "--diff $F/z8m $F/y8m" \
      "$(diff_head "$F/z8m" "$F/y8m")7fffff:   00        01 \n          1 Bytes were different\n" "" 0
check "diff dangling link"     -  "--diff $F/dangling $F/mega"  "$(diff_head "$F/dangling" "$F/mega")" \
      " compareFiles: Error: open failed for $F/dangling : $NOENT\n" 0 \
      "dosprep32:  Compare Function  \n compareFiles: Error: open failed for $F/dangling : $NOENT\n  Byte offset     $F/dangling    $F/mega \n"
if [ -n "$BROKEN" ]; then
    listing "$F/src/big" 16384 >"$WORK/eio.listing"
    # A failed read ends the listing as the end of the file would.
    check "show read fails midway" -  "--show $BROKEN/big"             "$(cat "$WORK/eio.listing")\n" "" 0
    check "diff read fails midway" -  "--diff $BROKEN/big $F/src/big" \
          "$(diff_head "$BROKEN/big" "$F/src/big")          The fisrt 16384 bytes of the files compare as equal. \n" "" 0
fi

finish
