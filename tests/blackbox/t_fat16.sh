# --write16: the boot disk geometry patched into dosboot.b (bytes 24, 26 and
# 28) and its first sector copied to /dev/sssd1; the geometry query behind
# it; images that are short, long, missing or cannot be written.
. "$(dirname "$0")/harness.sh"

SYS='[system call] /bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1\n'
D() { printf '###    Debug Mode %s  ###\\n' "$1"; }
geo() { printf -- '--getBootDriveSectorsPerTrack- = %s \\n      Number of Heads = %s \\n' "$1" "$2"; }
NOOPEN='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
IMG=/root/vantor/dosboot.b
image_is() { expect "$1: dosboot.b 24-28" "$(bytes "$KEEP/vantor/dosboot.b" 24 5)" "$2"; }
changed() { cmp -l "$1" "$2" | awk '{printf "%s ", $1 - 1}'; }  # offsets of differing bytes

F=$WORK/files
mkdir -p "$F/short" "$F/long"
printf 'ABCDEFGHIJKLMNOPQRST' >"$F/short/dosboot.b"  # the patches fall past its end
listing() {  # hex bytes as the dumps list them, from position 0
    local i=0 out= b
    for b in "$@"; do
        ((i % 16 == 0)) && out+=$(printf '\\n%04x:' "$i")
        out+=" $b" i=$((i + 1))
    done
    printf '%s' "$out"
}
SHORT=$(bytes "$F/short/dosboot.b" 0 20)
BUF256=$(listing $SHORT 00 00 00 00 3f 00 ff 00 3f $(printf '00 %.0s' $(seq 29 255)))
L22="$(D 22)       getPrimaryBootType \n__nIsSFDisk_0__nIsWrite_16__nIsATest_1__nIsATA_0__\n$(geo 3f 255)"

# name                 sandbox  arguments                    stdout  stderr  status [merged]
for row in ":3f 255:3f 00 ff 00 3f" "--controller ATA --geometry 16/63/1024:3f 255:3f 00 ff 00 3f" \
           "--geometry 16/32/1024:20 16:20 00 10 00 20" "--no-geometry:00 0:00 00 00 00 00"; do
    IFS=: read -r opts traced patched <<<"$row"
    check "geometry '$opts'"  "$opts"  "--debug3 --test --write16"  "$(D 3)$(geo $traced)$SYS"  ""  0
    image_is "geometry '$opts'" "$patched"
done
expect "test mode: partition keeps its FAT32 sector" "$(bytes "$KEEP/disk.img" $((63 * 512 + 82)) 5)" "46 41 54 33 32"
check "no boot disk"    "--no-disk"  "--debug3 --test --write16"  "$(D 3)Open of /dev/sssd failed \n$(geo 00 255)$SYS"  ""  0
image_is "no boot disk" "00 00 ff 00 00"
check "short image, level 22" "--vantor $F/short"  "--debugm --test --write16" \
      "$L22 {DOSPREP-showBuffer] --\n$BUF256\n -1- -2-$SYS$(listing $SHORT)\n          20 bytes were found in file\n"  ""  0
expect "short image keeps its bytes" "$(bytes "$KEEP/vantor/dosboot.b" 0 100)" "$SHORT"
check "no image, level 22"  "--setup 'rm $IMG'"  "--debugm --test --write16"  "$L22 -4-" \
      "${NOOPEN}Error Openning File : No such file or directory\n"  0 \
      "$L22 -4-${NOOPEN}Error Openning File : No such file or directory\n"
check "image not writable"  "--setup 'rm $IMG; mkdir $IMG'"  "--test --write16"  ""  "$NOOPEN"  0
check "image on /dev/full"  "--setup 'rm $IMG; ln -s /dev/full $IMG'"  "--test --write16"  "" \
      "DOSPREP: Unable to write /root/vantor/dosboot.b\n"  0
# No room left in the data directory: the image is rewritten in place.
FULL="v=\$DOSPREP_SANDBOX_DIR/full; cp -a /root/vantor \$v && mount -t tmpfs -o size=16k full /root/vantor && cp -a \$v/. /root/vantor && (cat /dev/zero >/root/vantor/fill 2>/dev/null; true)"
check "data directory full" "--setup '$FULL' --check 'stat -c %s $IMG; od -An -tx1 -j24 -N5 $IMG'"  "--test --write16" \
      "$SYS""512\n 3f 00 ff 00 3f\n"  ""  0

# For real: dd puts the patched sector on the partition, and mtools reads the
# geometry back from there. The long image is a whole FAT16 file system.
bpb() { minfo -i "$KEEP/disk.img@@$(($1 * 512))" :: | sed -n '/^bootsector/,$s/^\(sectors per track\|heads\|hidden sectors\): //p' | tr '\n' ' '; }
"$SANDBOX" --keep "$WORK/fresh" --binary "$BIN" -- >/dev/null 2>&1
truncate -s 16M "$F/long/dosboot.b" && mkfs.fat -F 16 --invariant "$F/long/dosboot.b" >/dev/null
for row in "--geometry 240/48/1024:48 240 48:$WORK/fresh/vantor/dosboot.b" "--vantor $F/long:63 255 63:$F/long/dosboot.b"; do
    IFS=: read -r opts read_back before <<<"$row"
    KEEP=$WORK/applied$ROW ROW=$((ROW + 1))
    run_in "$opts --format 16" "$KEEP" --write16 >"$KEEP.out" 2>"$KEEP.err" </dev/null
    expect "write16 '$opts': dd ran" "$(cat "$KEEP.out"; head -2 "$KEEP.err" | tr '\n' ' ')" "1+0 records in 1+0 records out "
    expect "write16 '$opts': read back" "$(bpb "${read_back%% *}")" "$read_back "
    expect "write16 '$opts': sector" "$(od -An -tx1 -j$((${read_back%% *} * 512)) -N512 "$KEEP/disk.img")" "$(od -An -tx1 -N512 "$KEEP/vantor/dosboot.b")"
    expect "write16 '$opts': changes" "$(changed "$before" "$KEEP/vantor/dosboot.b")" "24 26 28 "
    expect "write16 '$opts': length" "$(stat -c %s "$KEEP/vantor/dosboot.b")" "$(stat -c %s "$before")"
done

finish
