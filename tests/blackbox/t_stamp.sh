# --msdrivecount in the sandbox: the disks after each form of boot node get the
# drive stamp of sector 0 written; every disk is compared whole with an untouched one.
. "$(dirname "$0")/../lib/functions.sh"

G='--geometry 16/63/100 --size 20 --format none'  # only the following disks matter
base() { B=$WORK/base$ROW; eval "\"\$SANDBOX\" --binary \"\$BIN\" --keep \"\$B\" $G $1" >/dev/null 2>&1 </dev/null; }

STAMP=$(offset drive_stamp)
stamped() {  # NAME "DISK:PLACE ...": $KEEP's disks are $B's, but for the drive stamp of those listed
    local f img place bad=
    for f in "$B"/disks/*.img; do
        img=${f##*/} img=${img%.img} place=$(tr ' ' '\n' <<<"$2" | sed -n "s/^$img://p")
        cp "$f" "$WORK/want"
        [ -z "$place" ] || printf "\\x$(printf %02x $((0x80 + place)))\\x29\\x04\\x04" | dd of="$WORK/want" bs=1 seek="$STAMP" conv=notrunc status=none
        cmp -s "$WORK/want" "$KEEP/disks/$img.img" || bad+=" $img"
    done
    expect "$1" "${bad:-ok}" ok
}
D4='###    Debug Mode 4  ###\n'
w2() { local p; for p; do printf '    __%02x 29 04 04__ \\n' $((0x80 + p)); done; }
ALL="sdb:1 sdc:2 sdd:3 sde:4 sdf:5 sdg:6 sdh:7 sdi:8 sdj:9 sdk:10 sdl:11"

# name                  sandbox options                    arguments           stdout  stderr  status
O="--disks 12"; base "$O"
check "sda: 11 of 12"      "$G $O"  "--debug4 --msdrivecount"  "$D4$(w2 1 2 3 4 5 6 7 8 9 10 11)" "" 0
stamped "sda: sdb..sdl"     "$ALL"
check "sda, second run"    "$G $O --check '$(realpath "$BIN") --msdrivecount'"  "--msdrivecount"  "" "" 0
stamped "second run: same"  "$ALL"
check "sda, test mode"     "$G $O"  "--debug4 --test --msdrivecount"  "$D4$(w2 1 2 3 4 5 6 7 8 9 10 11)" "" 0
stamped "test mode: none"   ""
for row in "sdaa|--boot-node /dev/sdaa --disks 3|sdab:1 sdac:2 sdad:3" \
           "hda, ATA|--boot-node /dev/hda --disks 3 --controller ATA|hdb:1 hdc:2" \
           "tov|--boot-node /dev/tov/c0d0 --disks 3 --controller TOVRIXAR|tov_c0d1:1 tov_c0d2:2" \
           "klarn|--boot-node /dev/klarn/c0d0 --disks 3|klarn_c0d1:1 klarn_c0d2:2" \
           "sdp, to sdz|--boot-node /dev/sdp --disks 10|sdq:1 sdr:2 sds:3 sdt:4 sdu:5 sdv:6 sdw:7 sdx:8 sdy:9 sdz:10"; do
    IFS='|' read -r name O stamps <<<"$row"; base "$O"
    check "$name"          "$G $O"  "--msdrivecount"  "" "" 0
    stamped "$name: $stamps" "$stamps"
done

# The first and last level of each trace, in test mode, from /dev/hda to a disk whose first sector is zeros; o q s z
# the front end's (t_frontend), asked twice (k: KLARN's string). y the stamp message 7 to 15 (a: KLARN's, not
# stamped), from 12 to 15 l the listing, f the node offset asked, 1 2 each disk tried and c the stamped bytes at 192,
# L and 8 at 15 alone, b 14 to 15; n the offset found 12 to 25, x the stamp from 4, C the bytes at 128 16 to 25.
# The listing's date is the C locale's.
Z4=' 00 00 00 00' && Z16=$Z4$Z4$Z4$Z4 && SHOW=' {DOSPREP-showBuffer] --\n\n'
declare -A LINES=([o]='       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n' [q]='       getPrimaryBootType \n'
    [s]='       __String_SCSI__nBootType_3__nIsATA_0__\n' [z]='__nIsSFDisk_0__nIsWrite_0__nIsATest_1__nIsATA_0__\n'
    [k]='       __String_KLARN__nBootType_1__nIsATA_0__\n' [a]="  This is an Logical Array Drive. It won't be stamped.\n"
    [y]='  This is a type 3 Drive and will be stamped\n' [l]='  __lrwxrwxrwx 1 root root 8 Jan  1  2000 /dev/sssd -> /dev/hda\n__\n'
    [L]='__/dev/hda__\n' [f]='  getNodeOffset( /dev/hda  )\n' [8]='  getNodeOffset psString[8] = 0 \n' [n]='  getNodeOffset = 7 \n'
    [b]='  stampDriveNumber nOffsetBootNode = 7 \n' [1]='  writeToDrive( /dev/hdb, 0xPTR, 1 )\n' [x]='    __81 29 04 04__ \n'
    [c]="${SHOW}00c0:$Z16\n00d0:$Z4$Z4$Z4 81 29 04 04\n" [2]='  writeToDrive( /dev/hdc, 0xPTR, 2 )\n'
    [C]="${SHOW}0080:$Z16\n0090:$Z16\n00a0:$Z16\n00b0:$Z16\n00c0:$Z16\n00d0:$Z4$Z4$Z4 81 29 04 04\n00e0:$Z16\n00f0:$Z16\n")
O="$G --boot-node /dev/hda --disks 1 --setup 'touch -h -d 2000-01-01 /dev/sssd; dd if=/dev/zero of=/dev/hdb count=1 conv=notrunc status=none'"
for row in "3 3 SCSI" "6 6 SCSI ssx" "7 7 SCSI ssyx" "b 11 SCSI ososyx" "c 12 SCSI ososylfn1xc2" "d 13 SCSI ososylfn1xc2" \
           "e 14 SCSI oszosylfnb1xc2" "f 15 SCSI oqszoqsylLf8nb1xc2" "g 16 SCSI qszqsnxC" "p 25 SCSI qzqnxC" "q 26 SCSI qzqx" \
           "6 6 KLARN kk" "f 15 KLARN oqkzoqka" "g 16 KLARN qkzqk"; do
    read -r c lv ctl keys <<<"$row"
    LC_ALL=C check "level $lv, $ctl"  "$O --controller $ctl"  "--debug$c --test --msdrivecount"  "$(traced "$lv" "${keys-}")"  ""  0
done

# Nothing stamped: controller types 1 and 0, a node of no known form, a link
# to nothing (the listing lines with no target are unit rows); a disk too
# short to read is kept.
base ""
check "KLARN"              "$G --controller KLARN"  "--debug7 --msdrivecount"  "###    Debug Mode 7  ###\n$(printf '       __String_KLARN__nBootType_1__nIsATA_0__\\n%.0s' 1 2)  This is an Logical Array Drive. It won't be stamped.\n" "" 0
stamped "KLARN: none"       ""
for row in "no ssprimary:--controller -" "no known form:--setup 'ln -sfn /dev/vda /dev/sssd'" \
           "dangling link:--setup 'ln -sfn /dev/nowhere /dev/sssd'"; do
    check "${row%%:*}"     "$G ${row#*:}"  "--msdrivecount"  "" "" 0
    stamped "${row%%:*}: none" ""
done
SHORT='writeToDrive: cannot read the first sector of /dev/sdb; not stamped\n'
check "short disk"         "$G --setup 'truncate -s 300 /dev/sdb'"  "--debug4 --msdrivecount"  "$D4$(w2 2)" "$SHORT" 0 "$D4$SHORT$(w2 2)"
expect "short disk: kept"   "$(stat -c %s "$KEEP/disks/sdb.img") $(fields "$KEEP/disks/sdb.img" 0 drive_stamp)" "300 73 61 6e 64"

finish
