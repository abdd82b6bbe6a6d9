# The FAT32 boot area write (--write32) in the sandbox: the merged file, what
# lands on the partition, traces, failures.
. "$(dirname "$0")/../lib/functions.sh"

# scribble puts distinct values in the partition's fields that the merge
# patches or keeps. Writes to the loop device can still sit in its buffers
# when the sandbox copies the image out: each run ends with a flush.
SPT=$(offset sectors_per_track) DRIVE=$(offset drive_number32)
printf 'put() { printf "$2" | %s of=/dev/sssd1 bs=1 seek=$1 conv=notrunc status=none; }\n%s\n' "$WORK/realdd" \
    "put $SPT '\\021\\042\\063\\104\\125\\146\\167\\210'; put $DRIVE '\\000'; put 3139 '\\001\\002\\003\\004'" >"$WORK/scribble"
printf '#!/bin/bash\nexec -a "$0" %s "$@" status=none\n' "$WORK/realdd" >"$WORK/ddq" && chmod +x "$WORK/ddq"
SC="--setup 'bash $WORK/scribble' --check 'blockdev --flushbufs /dev/sssd1'"
V=/root/vantor
dd12='12+0 records in\n12+0 records out\n6144 bytes (6.1 kB, 6.0 KiB) copied\n'
dd9='9+0 records in\n9+0 records out\n4608 bytes (4.6 kB, 4.5 KiB) copied\n'
OPENERR='setUpdate98: Error: open failed for /root/vantor'
kept() { part; expect "$1: partition kept" "$(same "$WORK/part.img" 0 "$KEEP/vantor/new98boot.b" 0 6144)" same; }

# A merge of a 3072-byte template: each pass is the dumped parameter block,
# patched, then the template from byte 90.
layout() {  # NAME SPT MARKERS(yes/no)
    local u=$KEEP/vantor/update98boot.b d=$KEEP/vantor/new98boot.b t=$KEEP/vantor/dos98boot.b p mid
    expect "$1: size" "$(stat -c %s "$u")" 4608
    for p in 0 3072; do
        [ "$3" = yes ] && mid='da 11 a5 00' || mid=$(field_bytes "$d" 0 fs_info_sector backup_boot_sector)
        expect "$1 at $p: patched" "$(field_bytes "$u" $((p / 512)) sectors_per_track heads hidden_sectors fs_info_sector \
               backup_boot_sector drive_number32)" "$2 00 ff 00 $2 00 77 88 $mid 80"
        expect "$1 at $p: kept" "$(same "$u" $p "$d" 0 24) $(same "$u" $((p + 32)) "$d" 32 16) $(same "$u" $((p + 52)) "$d" 52 12) $(same "$u" $((p + 65)) "$d" 65 25)" \
               "same same same same"
    done
    expect "$1: template" "$(same "$u" 90 "$t" 90 2982) $(same "$u" 3162 "$t" 90 1446)" "same same"
}

# name                   sandbox          arguments     stdout  stderr      status [merged]
check "write32"          "$DD $SC"        "--write32"   ""      "$dd12$dd9" 0
layout "write32" 3f no
part   # hidden sectors: 63 below, the partition's own upper bytes kept
expect "write32: written" "$(same "$WORK/part.img" 0 "$KEEP/vantor/update98boot.b" 0 4608) $(same "$WORK/part.img" 4608 "$KEEP/vantor/new98boot.b" 4608 1536)" "same same"
# Independent readers: a FAT32 checker, and mtools' view of the fields.
expect "write32: fsck.fat" "$(fsck.fat -n "$WORK/part.img" >/dev/null 2>&1; echo $?)" 0
expect "write32: minfo" "$(MTOOLS_SKIP_CHECK=1 minfo -i "$WORK/part.img" :: 2>/dev/null | grep -E '^(sectors per track|heads|hidden sectors|physical drive id):' | sort -u | tr '\n' ';')" \
       "heads: 255;hidden sectors: -2005467073;physical drive id: 0x80;sectors per track: 63;"
check "spt 17, ATA, 16 heads" "--geometry 16/17/1000 --controller ATA $DD $SC"  "--debug6 --write32"  @fat32-spt17.out  "$dd12$dd9"  0  @fat32-spt17.merged
layout "spt 17" 20 no
check "no geometry"      "--no-geometry $DD $SC"  "--debug3 --write32"  @fat32-nogeo.out  "$dd12$dd9"  0  @fat32-nogeo.merged
layout "no geometry" 20 no

# Test mode: the dump runs, the merge is made (level 15: with markers), the
# partition is left alone.
TESTOUT="   system__/bin/dd if=/dev/sssd1 of=$V/new98boot.b bs=512 count=12\n   system__/bin/dd if=$V/update98boot.b of=/dev/sssd1 bs=512 count=9\n"
check "test mode"        "$DD $SC"  "--test --write32"  "$TESTOUT"  "$dd12"  0  "$dd12$TESTOUT"
kept "test mode"
check "test level 15"    "--setup 'mount --bind $WORK/ddq /bin/dd' $SC"  "--debugf --test --write32"  @fat32-test15.out  ""  0
layout "test level 15" 3f yes
# The first and last level of each trace, in test mode: o q s z the front end's (t_frontend), u setUpdate98 from 6,
# g the geometry from 3, p its sectors per track from 6, d w the dump and write, i setDosInfo from 8, 1 2 the passes
# (the first 5 to 15, the second from 3), n N their sector counts 11 to 15, h their patches and c the close 10 to 15,
# k the bytes skipped 9 to 15. From 14 the four files' starts (to 21), from 15 the markers; 21 the merged file
# whole, 22 the first 256 bytes of each.
declare -A LINES=([o]='       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n' [s]='       __String_SCSI__nBootType_3__nIsATA_0__\n'
    [u]='___setUpdate98(6, 0xPTR, 0) \n' [g]='--getBootDriveSectorsPerTrack- = 3f \n      Number of Heads = 255 \n'
    [p]='   setUpdate98__ucSectorsPerTrack= 63 [0x3f]\n' [d]="   system__/bin/dd if=/dev/sssd1 of=$V/new98boot.b bs=512 count=12\n"
    [i]='   setDosInfo(0xPTR, 0xPTR, 0xPTR, 6, LV)\n' [1]='1.copyDosBootInfo(0xPTR, 0xPTR, 0xPTR, 6, LV, 0)  \n    nDosCopySectorNumber 6, nDebugLevel LV  \n'
    [n]='    copyDosBootInfo  SectorNumber: 6 CountOffset: 0 \n' [N]='    copyDosBootInfo  SectorNumber: 3 CountOffset: C00 \n'
    [h]="$(printf '    copyDosBootInfo__ %s \\n' 'SectorsPerTrack = 63 [0x3f]' 'Heads = 255 [0xff]' 'SectorsPerTrack = 63 [0x3f]')"
    [k]='     nBytesSkipped = 3072  - 3072 = 0\n' [2]='\n2.copyDosBootInfo(0xPTR, 0xPTR, 0xPTR, 3, LV, 3072)  \n'
    [c]='   close3Files(0xPTR, 0xPTR, 0xPTR) \n' [w]="   system__/bin/dd if=$V/update98boot.b of=/dev/sssd1 bs=512 count=9\n")
for row in "2 2 dw" "4 4 gd2w" "5 5 gd12w" "7 7 sugpd12w" "8 8 sugpdi12w" "9 9 sugpdi1k2w" "a 10 osugpdi1hk2hcw" \
           "b 11 osugpdi1nhk2Nhcw" "d 13 osugpdi1nhk2Nhcw" "e 14 @fat32-test14.out" "g 16 @fat32-test16.out" \
           "l 21 sha256 e4272b2836cc23b8bd42f2d4070e51222711c73ecc39dbe57aef67a930076cfa\n" "m 22 @fat32-test22.out"; do
    read -r c lv keys <<<"$row"
    [[ $keys == @* || $keys == sha256* ]] || keys=$(traced "$lv" "$keys")
    check "test level $lv"  "--setup 'mount --bind $WORK/ddq /bin/dd'"  "--debug$c --test --write32"  "$keys"  ""  0
done

# A file that does not open ends the merge there; nothing is written.
check "no template"      "--setup 'rm $V/dos98boot.b' $DD $SC"  "--write32"  ""  "$dd12$OPENERR/dos98boot.b : No such file or directory\n"  0
kept "no template"
# At level 14 the four ranges are listed even so; three fail to open (2 s
# wait each). The partition starts with the bytes c0..ff.
printf "$(printf '\\%o' $(seq 192 255))" >"$WORK/c0ff"
NOFILE='Error Openning File : No such file or directory\n'
check "no template, level 14" "--setup 'dd if=$WORK/c0ff of=/dev/sssd1 conv=notrunc status=none' $DD --setup 'rm $V/dos98boot.b'" \
      "--debugE --test --write32"  @fat32-notemplate14.out  "$dd12$OPENERR/dos98boot.b : No such file or directory\n$NOFILE$NOFILE$NOFILE"  0  @fat32-notemplate14.merged
check "output a directory" "--setup 'mkdir $V/update98boot.b' $DD $SC"  "--write32"  ""  "$dd12$OPENERR/update98boot.b : Is a directory\n"  0
kept "output a directory"
check "no partition"     "--no-partition $DD"  "--write32"  "" \
      "/bin/dd: failed to open '/dev/sssd1': No such file or directory\n$OPENERR/new98boot.b : No such file or directory\n"  0

# A template under 90 bytes: the disk's bytes from its end to 90, zeros, and
# the backup at 3072.
check "template 50"      "--setup 'truncate -s 50 $V/dos98boot.b' $DD $SC"  "--write32"  "" \
      "${dd12}6+1 records in\n6+1 records out\n3123 bytes (3.1 kB, 3.0 KiB) copied\n"  0
u=$KEEP/vantor/update98boot.b
expect "template 50" "$(stat -c %s "$u") $(same "$u" 30 "$KEEP/vantor/new98boot.b" 30 21) $(same "$u" 51 /dev/zero 0 3021) $(same "$u" 3072 "$u" 0 51)" \
       "3123 same same same"

finish
