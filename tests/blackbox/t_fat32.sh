# The FAT32 boot area write (--write32) in the sandbox: the merged file, what
# lands on the partition, what fsck.fat and minfo make of it, traces, failures.
. "$(dirname "$0")/harness.sh"

# Inside the sandbox /bin/dd becomes a wrapper that drops dd's timing (ddq:
# all of its statistics). scribble puts distinct values in the partition's
# fields that the merge patches or keeps, and another serial number in its
# backup boot sector. othervol makes the template from another FAT32 volume
# of the partition's size and start, with mkfs.fat's own cluster size.
R=$WORK/realdd
cp /bin/dd "$R"
printf '#!/bin/bash\n(exec -a "$0" %s "$@") 2>&1 >/dev/null | sed -E "s/ copied, .*/ copied/" >&2\n' "$R" >"$WORK/dd"
printf '#!/bin/bash\nexec -a "$0" %s "$@" status=none\n' "$R" >"$WORK/ddq"
chmod +x "$WORK/dd" "$WORK/ddq"
cat >"$WORK/scribble" <<EOF
put() { printf "\$2" | "$R" of=/dev/sssd1 bs=1 seek=\$1 conv=notrunc status=none; }
put 24 '\\021\\042\\063\\104\\125\\146\\167\\210'; put 64 '\\000'; put 3139 '\\001\\002\\003\\004'
EOF
cat >"$WORK/othervol" <<EOF
start=\$((\$(od -An -tu4 -j454 -N4 /dev/sssd))) size=\$((\$(od -An -tu4 -j458 -N4 /dev/sssd))) img=\$(mktemp)
truncate -s \$(stat -L -c %s /dev/sssd) \$img
mkfs.fat -F 32 -i 0badcafe -n OTHERVOL -h \$start --offset \$start \$img \$((size / 2)) >/dev/null
"$R" if=\$img of=/root/vantor/dos98boot.b bs=512 skip=\$start count=6 status=none; rm -f \$img
EOF
# Writes to the partition's loop device can still sit in its buffers when
# the sandbox copies the disk image out: flush them at the end of each run.
DD="--setup 'mount --bind $WORK/dd /bin/dd' --setup 'bash $WORK/scribble' --check 'blockdev --flushbufs /dev/sssd1'"
V=/root/vantor
dd12='12+0 records in\n12+0 records out\n6144 bytes (6.1 kB, 6.0 KiB) copied\n'
dd9='9+0 records in\n9+0 records out\n4608 bytes (4.6 kB, 4.5 KiB) copied\n'
NOENT='No such file or directory'
OPENERR='setUpdate98: Error: open failed for /root/vantor'

partition() {  # the kept disk image's first partition, as $WORK/part.img
    local s n
    read -r s n < <(od -An -tu4 -j454 -N8 "$KEEP/disk.img")
    dd if="$KEEP/disk.img" of="$WORK/part.img" bs=512 skip="$s" count="$n" conv=sparse status=none
}
same() { cmp -s -i "$2:$4" -n "$5" "$1" "$3" && echo same || echo differ; }  # F1 OFF1 F2 OFF2 N
kept() { partition; expect "$1: partition kept" "$(same "$WORK/part.img" 0 "$KEEP/vantor/new98boot.b" 0 6144)" same; }
# fsck.fat's complaints, less its banner and summary and the sandbox
# volume's warning about its small cluster count.
complaints() {
    local out rc
    out=$(fsck.fat -n "$WORK/part.img" 2>&1); rc=$?
    grep -vE '^(fsck.fat [0-9]|  Auto-correcting\.|Leaving filesystem unchanged\.|$|.*: [0-9]+ files, )' <<<"$out" |
        grep -vE 'only [0-9]+ clusters, less than|may lead to problems on some|according to fat_length and fat32_length'
    echo "exit $rc"
}

# A merge of a 3072-byte template: each pass is the dumped parameter block,
# patched, then the template from byte 90.
layout() {  # NAME SPT MARKERS(yes/no)
    local u=$KEEP/vantor/update98boot.b d=$KEEP/vantor/new98boot.b t=$KEEP/vantor/dos98boot.b p mid
    expect "$1: size" "$(stat -c %s "$u")" 4608
    for p in 0 3072; do
        [ "$3" = yes ] && mid='da 11 a5 00' || mid=$(bytes "$d" 48 4)
        expect "$1 at $p: patched" "$(bytes "$u" $((p + 24)) 8) $(bytes "$u" $((p + 48)) 4) $(bytes "$u" $((p + 64)) 1)" \
               "$2 00 ff 00 $2 00 77 88 $mid 80"
        expect "$1 at $p: kept" "$(same "$u" $p "$d" 0 24) $(same "$u" $((p + 32)) "$d" 32 16) $(same "$u" $((p + 52)) "$d" 52 12) $(same "$u" $((p + 65)) "$d" 65 25)" \
               "same same same same"
    done
    expect "$1: template" "$(same "$u" 90 "$t" 90 2982) $(same "$u" 3162 "$t" 90 1446)" "same same"
}

# name                   sandbox          arguments     stdout  stderr      status
check "write32"          "$DD"            "--write32"   ""      "$dd12$dd9" 0
layout "write32" 3f no
partition
expect "write32: written" "$(same "$WORK/part.img" 0 "$KEEP/vantor/update98boot.b" 0 4608) $(same "$WORK/part.img" 4608 "$KEEP/vantor/new98boot.b" 4608 1536)" "same same"
# Hidden sectors 0x8877003f: 63 below, the partition's own upper bytes kept.
expect "write32: minfo" "$(MTOOLS_SKIP_CHECK=1 minfo -i "$WORK/part.img" :: 2>/dev/null | grep -E '^(sectors per track|heads|hidden sectors|physical drive id):' | sort -u | tr '\n' ';')" \
       "heads: 255;hidden sectors: -2005467073;physical drive id: 0x80;sectors per track: 63;"
# The sandbox's template comes from a volume laid out like the partition.
expect "write32: fsck" "$(complaints)" "exit 0"
# The FSInfo sector (sector 1) comes from the template, and with it the
# template volume's free cluster count: a template of another cluster size
# leaves a wrong count.
check "template of other layout" "--setup 'bash $WORK/othervol' $DD"  "--write32"  ""  "$dd12$dd9"  0
partition
expect "other layout: fsck" "$(complaints | sed -E 's/\(.*\)/(N vs. really M)/')" "$(printf 'Free cluster summary wrong (N vs. really M)\nexit 1')"

P='0xPTR, 0xPTR, 0xPTR'
S6="___setUpdate98(6, 0xPTR, 0) \n--getBootDriveSectorsPerTrack- = 11 \n      Number of Heads = 255 \n   setUpdate98__ucSectorsPerTrack= 32 [0x20]\n1.copyDosBootInfo($P, 6, 6, 0)  \n    nDosCopySectorNumber 6, nDebugLevel 6  \n\n2.copyDosBootInfo($P, 3, 6, 3072)  \n"
T6="###    Debug Mode 6  ###\n       __String_ATA__nBootType_4__nIsATA_1__\n"
check "spt 17, ATA, 16 heads" "--geometry 16/17/1000 --controller ATA $DD"  "--debug6 --write32"  "$T6$S6"  "$dd12$dd9"  0  "$T6$dd12$dd9$S6"
layout "spt 17" 20 no
NOGEO="###    Debug Mode 3  ###\n--getBootDriveSectorsPerTrack- = 00 \n      Number of Heads = 0 \n\n2.copyDosBootInfo($P, 3, 3, 3072)  \n"
check "no geometry"      "--no-geometry $DD"  "--debug3 --write32"  "$NOGEO"  "$dd12$dd9"  0  "$dd12$dd9$NOGEO"
layout "no geometry" 20 no

# Test mode: the dump runs, the merge is made, the partition is left alone.
TESTOUT="   system__/bin/dd if=/dev/sssd1 of=$V/new98boot.b bs=512 count=12\n   system__/bin/dd if=$V/update98boot.b of=/dev/sssd1 bs=512 count=9\n"
check "test mode"        "$DD"  "--test --write32"  "$TESTOUT"  "$dd12"  0  "$dd12$TESTOUT"
layout "test mode" 3f no
kept "test mode"
expect "test mode: merge differs" "$(same "$KEEP/vantor/update98boot.b" 0 "$KEEP/vantor/new98boot.b" 0 4608)" differ
check "test level 15"    "--setup 'mount --bind $WORK/ddq /bin/dd' --setup 'bash $WORK/scribble' --check 'blockdev --flushbufs /dev/sssd1'"  "--debugf --test --write32"  @fat32-test15.out  ""  0
layout "test level 15" 3f yes

# A file that does not open ends the merge there; nothing is written.
check "no template"      "--setup 'rm $V/dos98boot.b' $DD"  "--write32"  ""  "$dd12$OPENERR/dos98boot.b : $NOENT\n"  0
kept "no template"
check "output a directory" "--setup 'mkdir $V/update98boot.b' $DD"  "--write32"  ""  "$dd12$OPENERR/update98boot.b : Is a directory\n"  0
kept "output a directory"
check "no partition"     "--no-partition --setup 'mount --bind $WORK/dd /bin/dd'"  "--write32"  "" \
      "/bin/dd: failed to open '/dev/sssd1': $NOENT\n$OPENERR/new98boot.b : $NOENT\n"  0

# Short templates: 90 to 3071 bytes put the backup at 3071, fewer at 3072.
check "template 1000"    "--setup 'truncate -s 1000 $V/dos98boot.b' $DD"  "--write32"  "" \
      "${dd12}7+1 records in\n7+1 records out\n4071 bytes (4.1 kB, 4.0 KiB) copied\n"  0
u=$KEEP/vantor/update98boot.b
expect "template 1000" "$(stat -c %s "$u") $(same "$u" 1000 /dev/zero 0 2071) $(same "$u" 3071 "$u" 0 90) $(same "$u" 3161 "$KEEP/vantor/dos98boot.b" 90 910)" \
       "4071 same same same"
check "template 50"      "--setup 'truncate -s 50 $V/dos98boot.b' $DD"  "--write32"  "" \
      "${dd12}6+1 records in\n6+1 records out\n3123 bytes (3.1 kB, 3.0 KiB) copied\n"  0
u=$KEEP/vantor/update98boot.b
expect "template 50" "$(stat -c %s "$u") $(same "$u" 30 "$KEEP/vantor/new98boot.b" 30 21) $(same "$u" 51 /dev/zero 0 3021) $(same "$u" 3072 "$u" 0 51)" \
       "3123 same same same"

finish
