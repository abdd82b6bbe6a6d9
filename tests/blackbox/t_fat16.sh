# --write16: the boot disk geometry patched into dosboot.b (bytes 24, 26 and
# 28) and its first sector copied to /dev/sssd1; the geometry query it
# relies on; images that are short, long, missing or cannot be written.
. "$(dirname "$0")/harness.sh"

DD='/bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1'
SYS="[system call] $DD\n"
D() { printf '###    Debug Mode %s  ###\\n' "$1"; }
geo() { printf -- '--getBootDriveSectorsPerTrack- = %s \\n      Number of Heads = %s \\n' "$1" "$2"; }
NOOPEN='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
IMG=/root/vantor/dosboot.b
image_bytes() { expect "$1: dosboot.b 24-28" "$(bytes "$KEEP/vantor/dosboot.b" 24 5)" "$2"; }
# The pre-made FAT32 partition keeps its own boot sector in test mode.
untouched() { expect "$1: partition untouched" "$(bytes "$KEEP/disk.img" $((63 * 512 + 82)) 5)" "46 41 54 33 32"; }

# A 20-byte image: the patches fall past its end.
F=$WORK/files
mkdir -p "$F/short"
printf 'ABCDEFGHIJKLMNOPQRST' >"$F/short/dosboot.b"
listing() {  # hex bytes... as the dumps list them, from position 0
    local i=0 out= b
    for b in "$@"; do
        ((i % 16 == 0)) && out+=$(printf '\\n%04x:' "$i")
        out+=" $b"
        i=$((i + 1))
    done
    printf '%s' "$out"
}
SHORT=$(bytes "$F/short/dosboot.b" 0 20)
BUF256=$(listing $SHORT 00 00 00 00 3f 00 ff 00 3f $(printf '00 %.0s' $(seq 29 255)))
FILE20="$(listing $SHORT)\n          20 bytes were found in file\n"
LEVEL22="$(D 22)       getPrimaryBootType \n__nIsSFDisk_0__nIsWrite_16__nIsATest_1__nIsATA_0__\n$(geo 3f 255)"

# name                      sandbox  arguments                       stdout  stderr  status [merged]
check "geometry 255/63"     ""  "--debug3 --test --write16"  "$(D 3)$(geo 3f 255)$SYS"  ""  0
image_bytes "geometry 255/63" "3f 00 ff 00 3f"
untouched "geometry 255/63"
check "ATA: 255 heads"      "--controller ATA --geometry 16/63/1024"  "--debug3 --test --write16"  "$(D 3)$(geo 3f 255)$SYS"  ""  0
image_bytes "ATA: 255 heads" "3f 00 ff 00 3f"
check "16 heads, 32 sectors" "--geometry 16/32/1024"  "--debug3 --test --write16"  "$(D 3)$(geo 20 16)$SYS"  ""  0
image_bytes "16 heads, 32 sectors" "20 00 10 00 20"
check "geometry fails"      "--no-geometry"  "--debug3 --test --write16"  "$(D 3)$(geo 00 0)$SYS"  ""  0
image_bytes "geometry fails" "00 00 00 00 00"
check "no boot disk"        "--no-disk"  "--debug3 --test --write16"  "$(D 3)Open of /dev/sssd failed \n$(geo 00 255)$SYS"  ""  0
image_bytes "no boot disk" "00 00 ff 00 00"
check "level 2 is quiet"    ""  "--debug2 --test --write16"  "$(D 2)$SYS"  ""  0

check "short image, level 22" "--vantor $F/short"  "--debugm --test --write16" \
      "$LEVEL22 {DOSPREP-showBuffer] --\n$BUF256\n -1- -2-$SYS$FILE20"  ""  0
expect "short image keeps its bytes" "$(bytes "$KEEP/vantor/dosboot.b" 0 100)" "$SHORT"

check "no image, level 22"  "--setup 'rm $IMG'"  "--debugm --test --write16"  "$LEVEL22 -4-" \
      "${NOOPEN}Error Openning File : No such file or directory\n"  0 \
      "$LEVEL22 -4-${NOOPEN}Error Openning File : No such file or directory\n"
check "image not writable"  "--setup 'rm $IMG; mkdir $IMG'"  "--test --write16"  ""  "$NOOPEN"  0
check "image on a full device" "--setup 'rm $IMG; ln -s /dev/full $IMG'"  "--test --write16"  "" \
      "DOSPREP: Unable to write /root/vantor/dosboot.b\n"  0
# A data directory with no room left: the image is rewritten in place.
FULL="v=\$DOSPREP_SANDBOX_DIR/full; cp -a /root/vantor \$v && mount -t tmpfs -o size=16k full /root/vantor && cp -a \$v/. /root/vantor && (cat /dev/zero >/root/vantor/fill 2>/dev/null; true)"
check "data directory full" "--setup '$FULL' --check 'stat -c %s $IMG; od -An -tx1 -j24 -N5 $IMG'"  "--test --write16" \
      "$SYS""512\n 3f 00 ff 00 3f\n"  ""  0

# For real: dd puts the patched sector on the partition; mtools reads it back.
applied() {  # NAME OPTS ARGS: one run; dd's report on stderr is not compared
    KEEP=$WORK/applied.$ROW
    ROW=$((ROW + 1))
    local -a args
    eval "args=($3)"
    run_in "$2" "$KEEP" "${args[@]}" >"$KEEP.out" 2>"$KEEP.err" </dev/null
    expect "$1: status" "$?" 0
    expect "$1: stdout" "$(cat "$KEEP.out")" ""
    expect "$1: dd ran" "$(head -2 "$KEEP.err" | tr '\n' ' ')" "1+0 records in 1+0 records out "
}
bpb() {  # sectors per track, heads and hidden sectors of the partition at sector $1
    minfo -i "$KEEP/disk.img@@$(($1 * 512))" :: | sed -n '/^bootsector/,$s/^\(sectors per track\|heads\|hidden sectors\): //p' | tr '\n' ' '
}
"$SANDBOX" --keep "$WORK/fresh" --binary "$BIN" -- >/dev/null 2>&1
ORIG=$WORK/fresh/vantor/dosboot.b

applied "write16 240/48"  "--geometry 240/48/1024 --format 16"  "--write16"
expect "write16 240/48: read back" "$(bpb 48)" "48 240 48 "
expect "write16 240/48: sector is the image" "$(od -An -tx1 -j$((48 * 512)) -N512 "$KEEP/disk.img")" "$(od -An -tx1 "$KEEP/vantor/dosboot.b")"
expect "write16 240/48: only 24, 26, 28 changed" "$(cmp -l "$ORIG" "$KEEP/vantor/dosboot.b" | awk '{printf "%s ", $1 - 1}')" "24 26 28 "

# An image longer than one sector (a whole FAT16 file system): patched in
# place, nothing after byte 28 changes, and its first sector goes to disk.
mkdir -p "$F/long"
truncate -s 16M "$F/long/dosboot.b" && mkfs.fat -F 16 --invariant "$F/long/dosboot.b" >/dev/null
applied "long image"  "--vantor $F/long --format 16"  "--write16"
expect "long image: length" "$(stat -c %s "$KEEP/vantor/dosboot.b")" 16777216
expect "long image: changes" "$(cmp -l "$F/long/dosboot.b" "$KEEP/vantor/dosboot.b" | awk '{printf "%s ", $1 - 1}')" "24 26 28 "
expect "long image: read back" "$(bpb 63)" "63 255 63 "

finish
