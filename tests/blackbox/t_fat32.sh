# The FAT32 boot area write (--write32) in the sandbox: the merged file, what
# lands on the partition, what independent readers make of it, the traces and
# the failures.
. "$(dirname "$0")/harness.sh"

# dd prints its time and speed on standard error; inside the sandbox /bin/dd
# is replaced by a wrapper that keeps everything else of its output.
cp /bin/dd "$WORK/realdd"
cat >"$WORK/dd" <<EOF
#!/bin/bash
err=\$(mktemp)
(exec -a "\$0" "$WORK/realdd" "\$@") 2>"\$err"
rc=\$?
sed -E 's/ copied, .*/ copied/' "\$err" >&2
rm -f "\$err"
exit \$rc
EOF
# Distinct values in the partition's boot sector fields that the merge
# patches or keeps, and another serial number in its backup boot sector.
cat >"$WORK/scribble" <<EOF
put() { printf "\$2" | "$WORK/realdd" of=/dev/sssd1 bs=1 seek=\$1 conv=notrunc status=none; }
put 24 '\\021\\042\\063\\104\\125\\146\\167\\210'
put 64 '\\000'
put \$((3072 + 67)) '\\001\\002\\003\\004'
EOF
# A template from another FAT32 volume laid out like the partition (same
# disk size, start and length), with another serial number and label.
cat >"$WORK/othervol" <<EOF
start=\$((\$(od -An -tu4 -j454 -N4 /dev/sssd)))
size=\$((\$(od -An -tu4 -j458 -N4 /dev/sssd)))
img=\$(mktemp)
truncate -s \$(stat -L -c %s /dev/sssd) \$img
mkfs.fat -F 32 -i 0badcafe -n OTHERVOL -h \$start --offset \$start \$img \$((size / 2)) >/dev/null
"$WORK/realdd" if=\$img of=/root/vantor/dos98boot.b bs=512 skip=\$start count=6 status=none
rm -f \$img
EOF
chmod +x "$WORK/dd"
DDW="--setup 'mount --bind $WORK/dd /bin/dd'"
DD="$DDW --setup 'bash $WORK/scribble'"
# fsck.fat's lines that say nothing about the boot area: its banner, the
# summary, and the sandbox volume's small cluster count.
fsck_complaints() {
    grep -vE '^(fsck.fat [0-9]|  Auto-correcting\.|Leaving filesystem unchanged\.|$|.*: [0-9]+ files, )' <<<"$1" |
        grep -vE 'only [0-9]+ clusters, less than|may lead to problems on some systems|according to fat_length and fat32_length'
}
V=/root/vantor
dd12='12+0 records in\n12+0 records out\n6144 bytes (6.1 kB, 6.0 KiB) copied\n'
dd9='9+0 records in\n9+0 records out\n4608 bytes (4.6 kB, 4.5 KiB) copied\n'
DUMP="/bin/dd if=/dev/sssd1 of=$V/new98boot.b bs=512 count=12"
WRITE="/bin/dd if=$V/update98boot.b of=/dev/sssd1 bs=512 count=9"
NOENT='No such file or directory'

# The first partition of the kept disk image, as a file of its own.
partition() {
    local start size
    start=$(od -An -tu4 -j454 -N4 "$KEEP/disk.img" | tr -d ' ')
    size=$(od -An -tu4 -j458 -N4 "$KEEP/disk.img" | tr -d ' ')
    dd if="$KEEP/disk.img" of="$WORK/part.img" bs=512 skip="$start" count="$size" conv=sparse status=none
}
# cmp of N bytes: FILE1 at OFF1 against FILE2 at OFF2; "same" or "differ".
same() { cmp -s -i "$2:$4" -n "$5" "$1" "$3" && echo same || echo differ; }

# Merged file of a run whose template is 3072 bytes: both passes carry the
# dumped parameter block, patched, then the template from byte 90.
layout() {  # NAME SPT MARKERS(yes/no)
    local u=$KEEP/vantor/update98boot.b d=$KEEP/vantor/new98boot.b t=$KEEP/vantor/dos98boot.b
    local mid pass at
    expect "$1: size" "$(stat -c %s "$u")" 4608
    for pass in 0 3072; do
        at="$1: pass at $pass"
        expect "$at: geometry" "$(bytes "$u" $((pass + 24)) 8)" "$2 00 ff 00 $2 00 77 88"
        expect "$at: drive" "$(bytes "$u" $((pass + 64)) 1)" 80
        [ "$3" = yes ] && mid='da 11 a5 00' || mid=$(bytes "$d" 48 4)
        expect "$at: 48-51" "$(bytes "$u" $((pass + 48)) 4)" "$mid"
        expect "$at: 0-23 kept" "$(same "$u" $pass "$d" 0 24)" same
        expect "$at: 32-47 kept" "$(same "$u" $((pass + 32)) "$d" 32 16)" same
        expect "$at: 52-63 kept" "$(same "$u" $((pass + 52)) "$d" 52 12)" same
        expect "$at: 65-89 kept" "$(same "$u" $((pass + 65)) "$d" 65 25)" same
    done
    expect "$1: template 90-3071" "$(same "$u" 90 "$t" 90 2982)" same
    expect "$1: template 90-1535 again" "$(same "$u" 3162 "$t" 90 1446)" same
}

# name                      sandbox            arguments               stdout  stderr      status
check "write32"             "$DD"              "--write32"             ""      "$dd12$dd9" 0
layout "write32" 3f no
partition
expect "write32: on the partition" "$(same "$WORK/part.img" 0 "$KEEP/vantor/update98boot.b" 0 4608)" same
expect "write32: sectors 9-11 kept" "$(same "$WORK/part.img" 4608 "$KEEP/vantor/new98boot.b" 4608 1536)" same
info=$(MTOOLS_SKIP_CHECK=1 minfo -i "$WORK/part.img" :: 2>/dev/null)
expect "write32: minfo" "$(grep -E '^(sectors per track|heads|hidden sectors|physical drive id):' <<<"$info" | sort -u | tr '\n' ';')" \
       "heads: 255;hidden sectors: -2005467073;physical drive id: 0x80;sectors per track: 63;"
# The FSInfo sector (the partition's sector 1) comes from the template, and
# with it the template volume's free cluster count: the only complaint.
fsck=$(fsck.fat -n "$WORK/part.img" 2>&1); rc=$?
expect "write32: fsck status" "$rc" 1
expect "write32: fsck complaint" "$(fsck_complaints "$fsck" | sed -E 's/\(.*\)/(N vs. really M)/')" \
       "Free cluster summary wrong (N vs. really M)"

check "template of same size" "--setup 'bash $WORK/othervol' $DD" "--write32" "" "$dd12$dd9" 0
partition
fsck=$(fsck.fat -n "$WORK/part.img" 2>&1); rc=$?
expect "same size: fsck status" "$rc" 0
expect "same size: fsck complaints" "$(fsck_complaints "$fsck")" ""
expect "same size: label kept" "$(bytes "$WORK/part.img" 71 11)" "$(printf 'NO NAME    ' | od -An -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')"

# Other geometries: only 32 and 63 sectors per track are taken as they are;
# the heads are 255 whatever the disk or the controller says.
check "spt 32"              "--geometry 64/32/1000 $DD"  "--write32"  ""  "$dd12$dd9"  0
layout "spt 32" 20 no
P='0xPTR, 0xPTR, 0xPTR'
check "spt 17, ATA, 16 heads" "--geometry 16/17/1000 --controller ATA $DD"  "--debug6 --write32" \
      "###    Debug Mode 6  ###\n       __String_ATA__nBootType_4__nIsATA_1__\n___setUpdate98(6, 0xPTR, 0) \n--getBootDriveSectorsPerTrack- = 11 \n      Number of Heads = 255 \n   setUpdate98__ucSectorsPerTrack= 32 [0x20]\n1.copyDosBootInfo($P, 6, 6, 0)  \n    nDosCopySectorNumber 6, nDebugLevel 6  \n\n2.copyDosBootInfo($P, 3, 6, 3072)  \n" \
      "$dd12$dd9" 0 \
      "###    Debug Mode 6  ###\n       __String_ATA__nBootType_4__nIsATA_1__\n$dd12${dd9}___setUpdate98(6, 0xPTR, 0) \n--getBootDriveSectorsPerTrack- = 11 \n      Number of Heads = 255 \n   setUpdate98__ucSectorsPerTrack= 32 [0x20]\n1.copyDosBootInfo($P, 6, 6, 0)  \n    nDosCopySectorNumber 6, nDebugLevel 6  \n\n2.copyDosBootInfo($P, 3, 6, 3072)  \n"
layout "spt 17" 20 no
NOGEO="###    Debug Mode 3  ###\n--getBootDriveSectorsPerTrack- = 00 \n      Number of Heads = 0 \n\n2.copyDosBootInfo($P, 3, 3, 3072)  \n"
check "no geometry"         "--no-geometry $DD"  "--debug3 --write32"  "$NOGEO"  "$dd12$dd9"  0  "$dd12$dd9$NOGEO"
layout "no geometry" 20 no

# Test mode: the dump still runs and the merged file is still made, the
# partition is left alone; at level 15 and above the FSInfo and backup
# sector numbers carry a marker.
TESTOUT="   system__$DUMP\n   system__$WRITE\n"
check "test mode"           "$DD"  "--test --write32"  "$TESTOUT"  "$dd12"  0  "$dd12$TESTOUT"
layout "test mode" 3f no
partition
expect "test mode: partition kept" "$(same "$WORK/part.img" 0 "$KEEP/vantor/new98boot.b" 0 6144)" same
expect "test mode: merge differs" "$(same "$KEEP/vantor/update98boot.b" 0 "$KEEP/vantor/new98boot.b" 0 4608)" differ
check "test mode level 15"  "$DD"  "--debugf --test --write32"  @fat32-test15.out  "$dd12"  0  @fat32-test15.merged
layout "test mode level 15" 3f yes
check "test mode level 14"  "$DD"  "--debuge --test --write32"  @fat32-test14.out  "$dd12"  0  @fat32-test14.merged
layout "test mode level 14" 3f no

# A file that does not open ends the merge there; nothing is written.
OPENERR='setUpdate98: Error: open failed for /root/vantor'
check "no template"         "--setup 'rm $V/dos98boot.b' $DD"  "--write32"  ""  "$dd12$OPENERR/dos98boot.b : $NOENT\n"  0
partition
expect "no template: partition kept" "$(same "$WORK/part.img" 0 "$KEEP/vantor/new98boot.b" 0 6144)" same
expect "no template: no merged file" "$(ls "$KEEP/vantor/update98boot.b" 2>/dev/null)" ""
check "no partition"        "--no-partition $DDW"  "--write32"  "" \
      "/bin/dd: failed to open '/dev/sssd1': $NOENT\n$OPENERR/new98boot.b : $NOENT\n"  0
check "output a directory"  "--setup 'mkdir $V/update98boot.b' $DD"  "--write32"  "" \
      "$dd12$OPENERR/update98boot.b : Is a directory\n"  0
partition
expect "output a directory: partition kept" "$(same "$WORK/part.img" 0 "$KEEP/vantor/new98boot.b" 0 6144)" same

# Short templates: a template of 90 to 3071 bytes leaves the backup at 3071,
# a shorter one at 3072; the write copies what there is.
check "template 1000"       "--setup 'truncate -s 1000 $V/dos98boot.b' $DD"  "--write32"  "" \
      "${dd12}7+1 records in\n7+1 records out\n4071 bytes (4.1 kB, 4.0 KiB) copied\n"  0
u=$KEEP/vantor/update98boot.b
expect "template 1000: size" "$(stat -c %s "$u")" 4071
expect "template 1000: fill" "$(same "$u" 1000 /dev/zero 0 2071)" same
expect "template 1000: backup block" "$(same "$u" 3071 "$u" 0 90)" same
expect "template 1000: backup template" "$(same "$u" 3161 "$KEEP/vantor/dos98boot.b" 90 910)" same
partition
expect "template 1000: written" "$(same "$WORK/part.img" 0 "$u" 0 4071)" same
expect "template 1000: rest kept" "$(same "$WORK/part.img" 4071 "$KEEP/vantor/new98boot.b" 4071 2073)" same
check "template 50"         "--setup 'truncate -s 50 $V/dos98boot.b' $DD"  "--write32"  "" \
      "${dd12}6+1 records in\n6+1 records out\n3123 bytes (3.1 kB, 3.0 KiB) copied\n"  0
u=$KEEP/vantor/update98boot.b
expect "template 50: size" "$(stat -c %s "$u")" 3123
expect "template 50: disk bytes" "$(same "$u" 30 "$KEEP/vantor/new98boot.b" 30 21)" same
expect "template 50: fill" "$(same "$u" 51 /dev/zero 0 3021)" same
expect "template 50: backup block" "$(same "$u" 3072 "$u" 0 51)" same

finish
