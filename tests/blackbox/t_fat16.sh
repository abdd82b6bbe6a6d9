# --write16: the boot disk geometry patched into dosboot.b (sectors per track,
# heads, hidden sectors) and its first sector copied to /dev/sssd1; the geometry query behind
# it; images that are short, long, missing or cannot be written.
. "$(dirname "$0")/../lib/functions.sh"

SYS='[system call] /bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1\n'
D() { printf '###    Debug Mode %s  ###\\n' "$1"; }
geo() { printf -- '--getBootDriveSectorsPerTrack- = %s \\n      Number of Heads = %s \\n' "$1" "$2"; }
NOOPEN='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
IMG=/root/vantor/dosboot.b
image_is() { expect "$1: dosboot.b geometry" "$(fields "$KEEP/vantor/dosboot.b" 0 sectors_per_track heads hidden_sectors)" "$2"; }
F=$WORK/files
mkdir -p "$F/short" "$F/long"
printf 'ABCDEFGHIJKLMNOPQRST' >"$F/short/dosboot.b"  # the patches fall past its end
L22="$(D 22)       getPrimaryBootType \n__nIsSFDisk_0__nIsWrite_16__nIsATest_1__nIsATA_0__\n$(geo 3f 255)"

# name                 sandbox  arguments                    stdout  stderr  status [merged]
for row in ":3f 255:63 255 63" "--controller ATA --geometry 16/63/1024:3f 255:63 255 63" \
           "--geometry 16/32/1024:20 16:32 16 32" "--no-geometry:00 0:0 0 0"; do
    IFS=: read -r opts traced patched <<<"$row"
    check "geometry '$opts'"  "$opts"  "--debug3 --test --write16"  "$(D 3)$(geo $traced)$SYS"  ""  0
    image_is "geometry '$opts'" "$patched"
done
expect "test mode: partition keeps its FAT32 sector" "$(fields "$KEEP/disk.img" 63 fat_type)" FAT32
check "no boot disk"    "--no-disk"  "--debug3 --test --write16"  "$(D 3)Open of /dev/sssd failed \n$(geo 00 255)$SYS"  ""  0
image_is "no boot disk" "0 255 0"
check "short image, level 22" "--vantor $F/short"  "--debugm --test --write16"  @fat16-short22.out  ""  0
expect "short image keeps its bytes" "$(cat "$KEEP/vantor/dosboot.b")" ABCDEFGHIJKLMNOPQRST
# The image's first 64 bytes from level 5.
Z16=$(printf ' 00%.0s' {1..16})
BUF=" {DOSPREP-showBuffer] --\n\n0000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50\n0010: 51 52 53 54 00 00 00 00 3f 00 ff 00 3f 00 00 00\n0020:$Z16\n0030:$Z16\n"
check "short image, level 4" "--vantor $F/short"  "--debug4 --test --write16"  "$(D 4)$(geo 3f 255)$SYS"  ""  0
check "short image, level 5" "--vantor $F/short"  "--debug5 --test --write16"  "$(D 5)$(geo 3f 255)$BUF$SYS"  ""  0
# A data directory that takes no writes: the image is read, and does not open for the write (-3-).
RO22="$L22$BUF$(for a in 4 5 6 7 8 9 a b c d e f; do printf '00%s0:%s\\n' "$a" "$Z16"; done) -1- -3-"
SHOW20='\n0000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50\n0010: 51 52 53 54\n          20 bytes were found in file\n'
check "read-only image, level 22" "--vantor $F/short --setup 'mount -o remount,ro /root/vantor'"  "--debugm --test --write16" \
      "$RO22$SHOW20"  "$NOOPEN"  0  "$RO22$NOOPEN$SHOW20"
check "no image, level 22"  "--setup 'rm $IMG'"  "--debugm --test --write16"  "$L22 -4-" \
      "${NOOPEN}Error Openning File : No such file or directory\n"  0 \
      "$L22 -4-${NOOPEN}Error Openning File : No such file or directory\n"
# No room left in the data directory: the image is rewritten in place.
FULL="v=\$DOSPREP_SANDBOX_DIR/full; cp -a /root/vantor \$v && mount -t tmpfs -o size=16k full /root/vantor && cp -a \$v/. /root/vantor && (cat /dev/zero >/root/vantor/fill 2>/dev/null; true)"
check "data directory full" "--setup '$FULL' --check 'stat -c %s $IMG; for f in sectors_per_track heads hidden_sectors; do $DISKBYTES field $IMG \$f; done'" \
      "--test --write16"  "$SYS""512\n63\n255\n63\n"  ""  0

# For real: dd puts the patched first sector on the partition and nothing
# else of the image changes. The long image is a whole FAT16 file system.
"$SANDBOX" --keep "$WORK/fresh" --binary "$BIN" -- >/dev/null 2>&1
truncate -s 16M "$F/long/dosboot.b" && mkfs.fat -F 16 --invariant "$F/long/dosboot.b" >/dev/null
for row in "--geometry 240/48/1024:48 240 48:$WORK/fresh/vantor/dosboot.b:48;240;48" \
           "--vantor $F/long:63 255 63:$F/long/dosboot.b:63;255;63"; do
    IFS=: read -r opts patched before fields <<<"$row"
    check "write16 '$opts'"  "$opts --format 16 $DD"  "--write16"  ""  "1+0 records in\n1+0 records out\n512 bytes copied\n"  0
    image_is "write16 '$opts'" "$patched"
    part
    expect "write16 '$opts': sector" "$(same "$WORK/part.img" 0 "$KEEP/vantor/dosboot.b" 0 512)" same
    expect "write16 '$opts': minfo" "$(MTOOLS_SKIP_CHECK=1 minfo -i "$WORK/part.img" :: 2>/dev/null |
        awk -F': ' '/^(sectors per track|heads|hidden sectors):/ && !seen[$1]++ {printf "%s;", $2}')" "$fields;"
    expect "write16 '$opts': changes" "$(cmp -l "$before" "$KEEP/vantor/dosboot.b" | awk '{printf "%s ", $1 - 1}')" \
        "$(offset sectors_per_track) $(offset heads) $(offset hidden_sectors) "
    expect "write16 '$opts': length" "$(stat -c %s "$KEEP/vantor/dosboot.b")" "$(stat -c %s "$before")"
done

finish
