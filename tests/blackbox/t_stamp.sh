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
