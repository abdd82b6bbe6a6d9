# Faults around every file the tool reads or writes: missing, a directory,
# far larger than expected, endless, a read that fails midway
# (a file on a filesystem whose device ends inside it), writes that fail
# (/dev/full, a read-only mount). Each run is bounded by `timeout`; no crash,
# no hang, and no input left shorter than it was.
#
# As root the table runs in a private mount namespace of its own, so that the
# broken filesystem it mounts is seen by its sandboxes and by no one else;
# elsewhere the rows that need it are skipped.
if [ -z "${DOSPREP_FAULTS_NS:-}" ] && [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
    DOSPREP_FAULTS_NS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/harness.sh"

# 60 s per run, or 10 s where a hang is the fault looked for (status 124).
BIN_REAL=$(readlink -f "$BIN")
BIN=$WORK/bounded
printf '#!/bin/sh\nexec timeout -k 5 60 %q "$@"\n' "$BIN_REAL" >"$BIN"
printf '#!/bin/sh\nexec timeout -k 2 10 %q "$@"\n' "$BIN_REAL" >"$WORK/bounded10"
chmod 755 "$BIN" "$WORK/bounded10" "$WORK"

F=$WORK/files
mkdir -p "$F/dir" "$F/src" "$F/big16" "$F/bigxml" "$F/notag"
head -c 8388608 /dev/zero >"$F/z8m"; cp "$F/z8m" "$F/y8m"; printf '\001' >>"$F/y8m"
NOENT='No such file or directory'

# A filesystem whose device ends 16384 bytes into the file broken/big: reads
# past that point fail with EIO. src/big is the same 64 KiB, whole: 20000
# empty lines, the size tag, random bytes (the readable part has no tag).
BROKEN=
trap 'umount -l "$WORK/broken" 2>/dev/null; rm -rf "$WORK"' EXIT
make_broken() {
    [ -n "${DOSPREP_FAULTS_NS:-}" ] || return 1
    local img=$WORK/broken.img start loop
    mkdir -p "$WORK/broken"
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

# ---- --show and --diff: a failed read ends as the end of the file would ----
if [ -n "$BROKEN" ]; then
    { head -c 16384 "$F/src/big" | od -An -tx1 -v -w16 | awk '{ if (NR > 1 && (NR - 1) % 32 == 0) printf "\n"
                                                               printf "\n%04x:%s", (NR - 1) * 16, " " substr($0, 2) }'
      printf '\n          16384 bytes were found in file\n'; } >"$WORK/eio.listing"
    check "show read fails midway" -  "--show $BROKEN/big"  "$(cat "$WORK/eio.listing")\n"  ""  0
    check "diff read fails midway" -  "--diff $BROKEN/big $F/src/big" \
          "dosprep32:  Compare Function  \n  Byte offset     $BROKEN/big    $F/src/big \n          The fisrt 16384 bytes of the files compare as equal. \n" "" 0
fi
# Standard output that takes no writes (/dev/full) or is closed: the run
# ends quietly with 0, as a failed action never sets the exit status.
for line in "--show $F/z8m" "--diff $F/z8m $F/y8m" "--help" "--bytewrite /dev/null 0x1 0x2"; do
    eval "args=($line)"
    "$BIN" "${args[@]}" >/dev/full 2>"$WORK/err.full"; rc=$?
    "$BIN" "${args[@]}" >&- 2>"$WORK/err.closed"
    expect "stdout /dev/full, closed: $line" "$rc $? $(cat "$WORK/err.full" "$WORK/err.closed" | wc -c)" "0 0 0"
done

# ---- the modes, in the sandbox ----
V=/root/vantor
XML=$V/bootpartition.xml
RO="--setup 'mount -o remount,ro $V'"
ROOTMSG='You need to be user root to run this program!\n'
cmd() { printf '   system__sfdisk --force -S %s /dev/sssd < /root/vantor/dosboot.sfdisk\\n \\n' "$1"; }
NODATA='Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n'
NOIMAGE='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
SEARCH='searchFile: Error The file'
# The size in the table file; a digest of the first 4608 bytes of partition 1.
table_size() { sed -n 's/^\/dev\/sssd1 : start= *[0-9]*, size= \([0-9]*\),.*/\1/p' "$KEEP/vantor/dosboot.sfdisk"; }
boot_area() { "$WORK/realdd" if="$KEEP/disk.img" bs=512 skip=63 count=9 status=none | sha256sum | cut -c1-16; }
KEEP=$WORK/base && run_in "" "$KEEP" >/dev/null 2>&1 </dev/null && BASE_AREA=$(boot_area)

# --write16: only the start of a long image is patched; an endless device
# that takes no writes, or a read-only mount, leaves the disk alone.
head -c 3000000 /dev/urandom >"$F/big16/dosboot.b"
check "write16: image a directory"     "--setup 'rm $V/dosboot.b; mkdir $V/dosboot.b'"  "--test --write16"  ""  "$NOIMAGE"  0
check "write16: image of 3 MB"         "--vantor $F/big16"  "--test --write16" \
      '[system call] /bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1\n'  ""  0
u=$KEEP/vantor/dosboot.b
expect "write16: 3 MB image" "$(stat -c %s "$u") $(same "$F/big16/dosboot.b" 528 "$u" 528 2999472) $(bytes "$u" 24 1) $(bytes "$u" 26 1) $(bytes "$u" 28 1)" \
       "3000000 same 3f ff 3f"
check "write16: image is /dev/full"    "--setup 'ln -sf /dev/full $V/dosboot.b'"  "--write16"  ""  "DOSPREP: Unable to write /root/vantor/dosboot.b\n"  0
expect "write16: /dev/full: partition untouched" "$(boot_area)" "$BASE_AREA"
check "write16: read-only data"        "$RO"  "--write16"  ""  "$NOIMAGE"  0
expect "write16: read-only: partition untouched" "$(boot_area)" "$BASE_AREA"

# --sfdisk16 (the partition modes share the lookup and table): a description
# that cannot be read (the tag lies past the failing read), is endless (given
# up after some 79 MiB) or ends without the tag gives the fallback size.
for row in "a directory|--setup 'rm $XML; mkdir $XML'|could not be read" "endless|--setup 'ln -sf /dev/zero $XML'|is too large" \
           ${BROKEN:+"read fails midway|--setup 'ln -sf $BROKEN/big $XML'|could not be read"}; do
    IFS='|' read -r name opts msg <<<"$row"
    BIN=$WORK/bounded10 check "sfdisk: description $name" "$opts" "--test --sfdisk16" \
        "$NODATA$(cmd 63)" "$SEARCH $msg. \n" 0 "$SEARCH $msg. \n$NODATA$(cmd 63)"
    expect "sfdisk: description $name: default size" "$(table_size)" 4292902
done
{ yes '<padding>with some text</padding>' | head -c 5000000; printf '\n<megabytesize>300</megabytesize>\n'; } >"$F/bigxml/bootpartition.xml"
yes '<padding>with some text</padding>' | head -c 5000000 >"$F/notag/bootpartition.xml"
check "sfdisk: 5 MB description, tag last" "--vantor $F/bigxml"  "--test --sfdisk16"  "$(cmd 63)"  ""  0
expect "sfdisk: 5 MB: size from the last line" "$(table_size)" 628992
check "sfdisk: 5 MB description, no tag"   "--vantor $F/notag"  "--test --sfdisk16"  "$NODATA$(cmd 63)"  ""  0
OPENOUT='Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n'
check "sfdisk: read-only data"  "$RO"  "--test --sfdisk16"  "$(cmd 63)"  "$OPENOUT$NOIMAGE"  0  "$OPENOUT$NOIMAGE$(cmd 63)"

# --write32: a template or dump whose reads fail does not reach the disk (the
# merge would hold the failed reads' 0xff); nor does a read-only mount.
DD12='12+0 records in\n12+0 records out\n6144 bytes (6.1 kB, 6.0 KiB) copied\n'
NODUMP="/bin/dd: failed to open '$V/new98boot.b'"
while IFS='|' read -r name opts dd msg; do
    check "write32: $name" "$opts $DD" "--write32" "" "${dd}setUpdate98: Error: $msg" 0
    expect "write32: $name: partition untouched" "$(boot_area)" "$BASE_AREA"
done <<EOF2
template a directory|--setup 'rm $V/dos98boot.b; mkdir $V/dos98boot.b'|${DD12}|read failed for $V/dos98boot.b \n
dump a directory|--setup 'mkdir $V/new98boot.b'|$NODUMP: Is a directory\n|read failed for $V/new98boot.b \n
read-only data|$RO|$NODUMP: Read-only file system\n|open failed for $V/new98boot.b : $NOENT\n
EOF2

# --dos: a directory reads as nothing (255s, -1); /dev/full as zeros (0).
check "dos: directory and /dev/full"  -  "--dos $F/dir /dev/full 1"   ""  ""  0
check "dos: 8 MiB files"              -  "--dos $F/z8m $F/y8m 1000"   ""  ""  0

# --bytewrite, --fixata, --msdrivecount: a write that fails is silent; a disk
# that takes no writes is kept as it was, and the next one stamped.
check "bytewrite: /dev/full"          -  "--bytewrite /dev/full 0x10 0xff"  ""  ""  0
check "fixata: partition a directory" "--no-partition --setup 'mkdir /dev/sssd1'"  "--fixata"  "$ROOTMSG"  ""  0
check "msdrivecount: read-only disk"  "--setup 'mount -o remount,bind,ro /dev/sdb'"  "--msdrivecount"  ""  ""  0
expect "msdrivecount: read-only disk kept" "$(bytes "$KEEP/disks/sdb.img" 220 4) $(bytes "$KEEP/disks/sdc.img" 220 4)" "73 61 6e 64 82 29 04 04"

finish
