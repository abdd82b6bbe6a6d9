# Faults around every file the tool reads or writes: missing, a directory, far larger than expected, endless, a read
# that fails midway, writes that fail (/dev/full, a read-only mount). Each run is bounded by `timeout`: no crash, no
# hang, no input left shorter than it was. As root the table runs in a mount namespace of its own, so that the broken
# filesystem it mounts is seen by its sandboxes alone; elsewhere those rows are skipped.
if [ -z "${DOSPREP_FAULTS_NS:-}" ] && [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
    DOSPREP_FAULTS_NS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/../lib/functions.sh"

# 60 s per run, or 10 s where a hang is the fault looked for (status 124).
BIN_REAL=$(readlink -f "$BIN") BIN=$WORK/bounded60
for t in 60 10; do printf '#!/bin/sh\nexec timeout -k 5 %s %q "$@"\n' "$t" "$BIN_REAL" >"$WORK/bounded$t"; done
chmod 755 "$WORK"/bounded* "$WORK"

F=$WORK/files NOENT='No such file or directory'
mkdir -p "$F/dir" "$F/src" "$F/bigxml"
head -c 8388608 /dev/zero >"$F/z8m"; cp "$F/z8m" "$F/y8m"; printf '\001' >>"$F/y8m"

# A filesystem whose device ends 16384 bytes into the file broken/big: reads past that point fail
# with EIO. src/big is the same 64 KiB, whole: 20000 empty lines, the size tag, random bytes.
BROKEN= && trap 'umount -l "$WORK/broken" 2>/dev/null; rm -rf "$WORK"' EXIT
make_broken() {
    [ -n "${DOSPREP_FAULTS_NS:-}" ] || return 1
    local img=$WORK/broken.img start
    { yes '' | head -n 20000; echo '<megabytesize>300</megabytesize>'; head -c 45503 /dev/urandom; } >"$F/src/big"
    mkdir -p "$WORK/broken" && truncate -s 4M "$img" && mkfs.ext4 -q -F -b 4096 -O ^has_journal "$img" || return 1
    mount -o loop "$img" "$WORK/broken" && cp "$F/src/big" "$WORK/broken/big" && umount "$WORK/broken" || return 1
    start=$(debugfs -R 'blocks /big' "$img" 2>/dev/null | awk '{print $1}')
    [ -n "$start" ] && mount -o loop,ro "$img" "$WORK/broken" || return 1
    truncate -s $(((start + 4) * 4096)) "$img"
    losetup -c "$(findmnt -no SOURCE "$WORK/broken")" && BROKEN=$WORK/broken
}
make_broken 2>/dev/null || echo "t_faults: no broken filesystem here (needs root); its rows are skipped"

if [ -n "$BROKEN" ]; then  # --show and --diff: a failed read ends as the end of the file would
    check "show read fails midway" -  "--show $BROKEN/big"  @faults-eio.out  ""  0
    check "diff read fails midway" -  "--diff $BROKEN/big $F/src/big" \
          "dosprep32:  Compare Function  \n  Byte offset     $BROKEN/big    $F/src/big \n          The fisrt 16384 bytes of the files compare as equal. \n" "" 0
fi
# Standard output that takes no writes (/dev/full) or is closed: the run ends quietly with 0.
for line in "--show $F/z8m" "--diff $F/z8m $F/y8m" "--help" "--bytewrite /dev/null 0x1 0x2"; do
    eval "args=($line)"
    "$BIN" "${args[@]}" >/dev/full 2>"$WORK/err.full"; rc=$?
    "$BIN" "${args[@]}" >&- 2>"$WORK/err.closed"
    expect "stdout /dev/full, closed: $line" "$rc $? $(cat "$WORK/err.full" "$WORK/err.closed" | wc -c)" "0 0 0"
done

V=/root/vantor XML=/root/vantor/bootpartition.xml RO="--setup 'mount -o remount,ro /root/vantor'"
CMD='   system__sfdisk --force -S 63 /dev/sssd < /root/vantor/dosboot.sfdisk\n \n' SEARCH='searchFile: Error The file'
NODATA='Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n'
NOIMAGE='DOSPREP: Unable to open /root/vantor/dosboot.b\n' NODUMP="/bin/dd: failed to open '$V/new98boot.b'"
DD12='12+0 records in\n12+0 records out\n6144 bytes (6.1 kB, 6.0 KiB) copied\n'
# update98boot.b alone on a file system with room for 4096 of its 4608 bytes: only the last write fails.
SMALL="--setup 'mkdir $V/small && mount -t tmpfs -o size=4k small $V/small && ln -s small/update98boot.b $V/update98boot.b'"
# The size in the table file; a digest of the first 4608 bytes of partition 1.
table_size() { sed -n 's/^\/dev\/sssd1 : start= *[0-9]*, size= \([0-9]*\),.*/\1/p' "$KEEP/vantor/dosboot.sfdisk"; }
boot_area() { "$WORK/realdd" if="$KEEP/disk.img" bs=512 skip=63 count=9 status=none | sha256sum | cut -c1-16; }
KEEP=$WORK/base && run_in "" "$KEEP" >/dev/null 2>&1 </dev/null && BASE_AREA=$(boot_area)

# An image or template that cannot be read, an image or merge that takes no writes, a read-only mount: the
# partition is left alone (the FAT32 merge would hold the failed reads' 0xff).
while IFS='|' read -r name opts args err; do
    check "$name" "$opts" "$args" "" "$err" 0
    expect "$name: partition untouched" "$(boot_area)" "$BASE_AREA"
done <<EOF
write16: image a directory|--setup 'rm $V/dosboot.b; mkdir $V/dosboot.b'|--write16|$NOIMAGE
write16: image is /dev/full|--setup 'ln -sf /dev/full $V/dosboot.b'|--write16|DOSPREP: Unable to write $V/dosboot.b\n
write16: read-only data|$RO|--write16|$NOIMAGE
write32: template a directory|--setup 'rm $V/dos98boot.b; mkdir $V/dos98boot.b' $DD|--write32|${DD12}setUpdate98: Error: read failed for $V/dos98boot.b \n
write32: merge on a nearly full file system|$SMALL $DD|--write32|${DD12}setUpdate98: Error: write failed for $V/update98boot.b \n
write32: dump a directory|--setup 'mkdir $V/new98boot.b' $DD|--write32|$NODUMP: Is a directory\nsetUpdate98: Error: read failed for $V/new98boot.b \n
write32: read-only data|$RO $DD|--write32|$NODUMP: Read-only file system\nsetUpdate98: Error: open failed for $V/new98boot.b : $NOENT\n
EOF

# --sfdisk16 (the partition modes share the lookup and table): a description that cannot be read (the tag lies past the
# failing read) or is endless (given up after some 79 MiB) gives the fallback size; a last-line tag is found.
{ yes '<padding>with some text</padding>' | head -c 5000000; printf '\n<megabytesize>300</megabytesize>\n'; } >"$F/bigxml/bootpartition.xml"
while IFS='|' read -r name opts out err size; do
    [ -n "$name" ] || continue
    BIN=$WORK/bounded10 check "sfdisk: $name" "$opts" "--test --sfdisk16" "$out" "$err" 0 "$err$out"
    [ -z "$size" ] || expect "sfdisk: $name: table size" "$(table_size)" "$size"
done <<EOF
description a directory|--setup 'rm $XML; mkdir $XML'|$NODATA$CMD|$SEARCH could not be read. \n|4292902
description endless|--setup 'ln -sf /dev/zero $XML'|$NODATA$CMD|$SEARCH is too large. \n|4292902
${BROKEN:+description read fails midway|--setup 'ln -sf $BROKEN/big $XML'|$NODATA$CMD|$SEARCH could not be read. \n|4292902}
5 MB description, tag last|--vantor $F/bigxml|$CMD||628992
read-only data|$RO|$CMD|Error: dosprep could not open the output file $V/dosboot.sfdisk\n$NOIMAGE|
EOF

# --dos: a directory reads as nothing (255s, -1), /dev/full as zeros (0). --bytewrite, --fixata, --msdrivecount: a
# write that fails is silent; a disk that takes no writes is kept as it was, and the next one stamped.
for args in "--dos $F/dir /dev/full 1" "--dos $F/z8m $F/y8m 1000" "--bytewrite /dev/full 0x10 0xff"; do
    check "$args" - "$args" "" "" 0
done
check "fixata: partition a directory" "--no-partition --setup 'mkdir /dev/sssd1'"  "--fixata" \
      'You need to be user root to run this program!\n'  ""  0
check "msdrivecount: read-only disk"  "--setup 'mount -o remount,bind,ro /dev/sdb'"  "--msdrivecount"  ""  ""  0
expect "msdrivecount: read-only disk kept" "$(fields "$KEEP/disks/sdb.img" 0 drive_stamp) $(fields "$KEEP/disks/sdc.img" 0 drive_stamp)" \
       "73 61 6e 64 82 29 04 04"

finish
