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

# The rows run the binary under timeout: 60 s, or 10 s where a hang is
# the fault looked for (status 124 then).
BIN_REAL=$(readlink -f "$BIN")
BIN=$WORK/bounded
printf '#!/bin/sh\nexec timeout -k 5 60 %q "$@"\n' "$BIN_REAL" >"$BIN"
printf '#!/bin/sh\nexec timeout -k 2 10 %q "$@"\n' "$BIN_REAL" >"$WORK/bounded10"
chmod 755 "$BIN" "$WORK/bounded10" "$WORK"

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
    # 20000 empty lines, the size tag, then random bytes up to 64 KiB: the
    # readable part has no tag.
    { head -c 20000 /dev/zero | tr '\0' '\n'; echo '<megabytesize>300</megabytesize>'
      head -c 45503 /dev/urandom; } >"$F/src/big"
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

# Standard output that takes no writes (/dev/full) or is closed: the run
# ends quietly with 0, as a failed action never sets the exit status.
for line in "--show $F/mega" "--diff $F/z8m $F/y8m" "--help" "--bytewrite /dev/null 0x1 0x2"; do
    eval "args=($line)"
    "$BIN" "${args[@]}" >/dev/full 2>"$WORK/err.full"
    expect "stdout /dev/full: $line" "$? $(wc -c <"$WORK/err.full")" "0 0"
    "$BIN" "${args[@]}" >&- 2>"$WORK/err.closed"
    expect "stdout closed: $line" "$? $(wc -c <"$WORK/err.closed")" "0 0"
done

# ---- the modes, in the sandbox ----
V=/root/vantor
XML=$V/bootpartition.xml
ROOTMSG='You need to be user root to run this program!\n'
cmd() { printf '   system__sfdisk --force -S %s /dev/sssd < /root/vantor/dosboot.sfdisk\\n \\n' "$1"; }
NODATA='Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n'
NOIMAGE='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
DD16='[system call] /bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1\n'

# once NAME OPTS ARGS: one run in the sandbox for its effects, kept in
# $KEEP, with RC, OUT and ERR; no byte comparison of the output.
once() {
    local d=$WORK/$ROW
    ROW=$((ROW + 1))
    mkdir -p "$d"
    local -a args
    eval "args=($3)"
    KEEP=$d/env
    run_in "$2" "$KEEP" "${args[@]}" >"$d/out" 2>"$d/err" </dev/null
    RC=$?
    OUT=$(cat "$d/out")
    ERR=$(cat "$d/err")
}
# The size in the table file, and the first 4608 bytes of partition 1.
table_size() { sed -n 's/^\/dev\/sssd1 : start= *[0-9]*, size= \([0-9]*\),.*/\1/p' "$KEEP/vantor/dosboot.sfdisk"; }
boot_area() { dd if="$KEEP/disk.img" bs=512 skip=63 count=9 status=none | sha256sum | cut -c1-16; }
contains() { case $2 in *"$3"*) expect "$1" yes yes ;; *) expect "$1" "'$2'" "something with '$3'" ;; esac; }

# The untouched environment, to compare against.
once "baseline" "" ""
BASE_AREA=$(boot_area)
BASE_IMAGE=$(sha256sum <"$KEEP/vantor/dosboot.b")

mkdir -p "$F/big16" "$F/bigxml" "$F/notag"
head -c 3000000 /dev/urandom >"$F/big16/dosboot.b"
{ yes '<padding>with some text</padding>' | head -c 5000000; printf '\n<megabytesize>300</megabytesize>\n'; } >"$F/bigxml/bootpartition.xml"
yes '<padding>with some text</padding>' | head -c 5000000 >"$F/notag/bootpartition.xml"

# --write16
check "write16: image a dangling link" "--setup 'ln -sf /nowhere $V/dosboot.b'"  "--test --write16"  ""  "$NOIMAGE"  0
check "write16: image a directory"     "--setup 'rm $V/dosboot.b; mkdir $V/dosboot.b'"  "--test --write16"  ""  "$NOIMAGE"  0
# Only the start of a long image is patched; the rest stays.
check "write16: image of 3 MB"         "--vantor $F/big16"  "--test --write16"  "$DD16"  ""  0
expect "write16: 3 MB image keeps its length" "$(stat -c %s "$KEEP/vantor/dosboot.b")" 3000000
expect "write16: 3 MB image keeps its tail" "$(cmp -i 528 "$F/big16/dosboot.b" "$KEEP/vantor/dosboot.b" && echo same)" same
expect "write16: 3 MB image patched" "$(bytes "$KEEP/vantor/dosboot.b" 24 1) $(bytes "$KEEP/vantor/dosboot.b" 26 1) $(bytes "$KEEP/vantor/dosboot.b" 28 1)" "3f ff 3f"
# An endless device that takes no writes: nothing reaches the disk.
check "write16: image is /dev/full"    "--setup 'ln -sf /dev/full $V/dosboot.b'"  "--write16"  ""  "DOSPREP: Unable to write /root/vantor/dosboot.b\n"  0
expect "write16: /dev/full: partition untouched" "$(boot_area)" "$BASE_AREA"
check "write16: read-only data"        "--setup 'mount -o remount,ro $V'"  "--write16"  ""  "$NOIMAGE"  0
expect "write16: read-only: partition untouched" "$(boot_area)" "$BASE_AREA"

# --sfdisk16 (the partition modes share the lookup and table)
RERR='searchFile: Error The file could not be read. \n'
check "sfdisk: description a directory" "--setup 'rm $XML; mkdir $XML'"  "--test --sfdisk16"  "$NODATA$(cmd 63)"  "$RERR"  0 \
      "$RERR$NODATA$(cmd 63)"
expect "sfdisk: directory: default size" "$(table_size)" 4292902
check "sfdisk: 5 MB description, tag last" "--vantor $F/bigxml"  "--test --sfdisk16"  "$(cmd 63)"  ""  0
expect "sfdisk: 5 MB: size from the last line" "$(table_size)" 628992
check "sfdisk: 5 MB description, no tag"   "--vantor $F/notag"  "--test --sfdisk16"  "$NODATA$(cmd 63)"  ""  0
# An endless description ends the lookup, after some 79 MiB, as a
# description without the tag.
BIN=$WORK/bounded10 check "sfdisk: endless description" "--setup 'ln -sf /dev/zero $XML'" "--test --sfdisk16" \
    "$NODATA$(cmd 63)" "searchFile: Error The file is too large. \n" 0 \
    "searchFile: Error The file is too large. \n$NODATA$(cmd 63)"
expect "sfdisk: endless description: default size" "$(table_size)" 4292902
if [ -n "$BROKEN" ]; then
    # The tag lies past the failing read: not found, with a message, and
    # the fallback size.
    check "sfdisk: description read fails midway" "--setup 'ln -sf $BROKEN/big $XML'" "--test --sfdisk16" \
        "$NODATA$(cmd 63)" "searchFile: Error The file could not be read. \n" 0 \
        "searchFile: Error The file could not be read. \n$NODATA$(cmd 63)"
    expect "sfdisk: read fails: default size" "$(table_size)" 4292902
fi
check "sfdisk: table file is /dev/full" "--setup 'ln -sf /dev/full $V/dosboot.sfdisk'"  "--test --sfdisk16"  "" \
      "Error: dosprep could not write the output file /root/vantor/dosboot.sfdisk, the table is not applied\n"  0
check "sfdisk: read-only data" "--setup 'mount -o remount,ro $V'"  "--test --sfdisk16"  "$(cmd 63)" \
      "Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n$NOIMAGE"  0 \
      "Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n$NOIMAGE$(cmd 63)"
expect "sfdisk: read-only: image untouched" "$(sha256sum <"$KEEP/vantor/dosboot.b")" "$BASE_IMAGE"
check "sfdisk: /dev/sssd dangling" "--setup 'ln -sfn /dev/nowhere /dev/sssd'"  "--test --sfdisk16"  "Open of /dev/sssd failed \n$(cmd 32)"  ""  0
expect "sfdisk: dangling: 100 MB" "$(table_size)" 204800
check "sfdisk: /dev/sssd no disk" "--setup 'ln -sfn /dev/null /dev/sssd'"  "--test --sfdisk16"  "$(cmd 0)"  ""  0

# --write32
# A template or dump whose reads fail does not reach the disk: the merge
# would hold the failed reads' 0xff.
once "write32: template a directory" "--setup 'rm $V/dos98boot.b; mkdir $V/dos98boot.b'" "--write32"
expect "write32: template a directory: partition untouched" "$(boot_area)" "$BASE_AREA"
contains "write32: template a directory: message" "$ERR" "setUpdate98: Error: read failed for /root/vantor/dos98boot.b "
once "write32: dump a directory" "--setup 'mkdir $V/new98boot.b'" "--write32"
expect "write32: dump a directory: partition untouched" "$(boot_area)" "$BASE_AREA"
contains "write32: dump a directory: message" "$ERR" "setUpdate98: Error: read failed for /root/vantor/new98boot.b "
once "write32: template missing" "--setup 'rm $V/dos98boot.b'" "--write32"
expect "write32: template missing: partition untouched" "$(boot_area)" "$BASE_AREA"
contains "write32: template missing: message" "$ERR" "setUpdate98: Error: open failed for /root/vantor/dos98boot.b : $NOENT"
once "write32: read-only data" "--setup 'mount -o remount,ro $V'" "--write32"
expect "write32: read-only: partition untouched" "$(boot_area)" "$BASE_AREA"
contains "write32: read-only: message" "$ERR" "setUpdate98: Error: open failed for /root/vantor/new98boot.b : $NOENT"
once "write32: no partition" "--no-partition" "--write32"
expect "write32: no partition: status" "$RC" 0
contains "write32: no partition: message" "$ERR" "setUpdate98: Error: open failed for /root/vantor/new98boot.b : $NOENT"

# --dos
# A directory reads as nothing (255s, -1); /dev/full as zeros (0).
check "dos: directory and /dev/full"  -  "--dos $F/dir /dev/full 1"   ""  ""  0
check "dos: 8 MiB files"              -  "--dos $F/z8m $F/y8m 1000"   ""  ""  0
check "dos: dangling link"            -  "--dos $F/dangling $F/z8m 1" ""  "$OPENERR"  0

# --bytewrite, --fixata, --msdrivecount
check "bytewrite: /dev/full"          -  "--bytewrite /dev/full 0x10 0xff"  ""  ""  0
check "bytewrite: a directory"        -  "--bytewrite $F/dir 0x10 0xff"  "$ROOTMSG"  ""  0
check "bytewrite: read-only mount"    "--setup 'mount -o remount,ro $V'"  "--bytewrite $V/dosboot.b 0x10 0xff"  "$ROOTMSG"  ""  0
expect "bytewrite: read-only: image untouched" "$(sha256sum <"$KEEP/vantor/dosboot.b")" "$BASE_IMAGE"
check "fixata: partition a directory" "--no-partition --setup 'mkdir /dev/sssd1'"  "--fixata"  "$ROOTMSG"  ""  0
check "msdrivecount: short disk"      "--setup 'truncate -s 300 /dev/sdb'"  "--msdrivecount"  "" \
      "writeToDrive: cannot read the first sector of /dev/sdb; not stamped\n"  0
expect "msdrivecount: short disk kept" "$(stat -c %s "$KEEP/disks/sdb.img") $(bytes "$KEEP/disks/sdb.img" 220 4)" "300 73 61 6e 64"
expect "msdrivecount: short disk: next stamped" "$(bytes "$KEEP/disks/sdc.img" 220 4)" "82 29 04 04"
check "msdrivecount: read-only disk"  "--setup 'mount -o remount,bind,ro /dev/sdb'"  "--msdrivecount"  ""  ""  0
expect "msdrivecount: read-only disk kept" "$(bytes "$KEEP/disks/sdb.img" 220 4) $(bytes "$KEEP/disks/sdc.img" 220 4)" "73 61 6e 64 82 29 04 04"
check "msdrivecount: dangling link"   "--setup 'ln -sfn /dev/nowhere /dev/sssd'"  "--msdrivecount"  ""  ""  0
expect "msdrivecount: dangling: nothing stamped" "$(bytes "$KEEP/disks/sdb.img" 220 4)" "73 61 6e 64"

finish
