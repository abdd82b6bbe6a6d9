# diskbytes, the sandbox's reader of boot-sector and MBR fields: its values
# against mtools' and sfdisk's reading of sandbox-made disks, the FAT16/FAT32
# rule the report follows, and files it must refuse without reading further.
. "$(dirname "$0")/../lib/functions.sh"
skip_unless minfo sfdisk

disk "$WORK/d32" --binary "$BIN" && disk "$WORK/d16" --binary "$BIN" --format 16 || { echo "FAIL: making the disks"; exit 1; }
# Partition 1's boot sector as mtools reads it, under diskbytes' names.
while read -r fat; do
    got= want=
    while IFS='|' read -r label name; do
        value=$(MTOOLS_SKIP_CHECK=1 minfo -i "$WORK/d$fat/disk.img@@$((63 * 512))" :: 2>/dev/null |
            sed -n "s/^$label[:=] *\([0-9]*\).*/\1/p" | head -1)
        [ -z "$value" ] || { want+=" $value" got+=" $(fields "$WORK/d$fat/disk.img" 63 "$name")"; }
    done <<'NAMES'
sector size|bytes_per_sector
cluster size|sectors_per_cluster
reserved (boot) sectors|reserved_sectors
fats|number_of_fats
max available root directory slots|root_entries
small size|total_sectors16
sectors per fat|sectors_per_fat16
sectors per track|sectors_per_track
heads|heads
hidden sectors|hidden_sectors
big size|total_sectors32
Big fatlen|sectors_per_fat32
rootCluster|root_cluster
infoSector location|fs_info_sector
backup boot sector|backup_boot_sector
NAMES
    expect "FAT$fat volume: fields as minfo reads them" "$got" "$want"
done <<<$'16\n32'

# The FAT type of a sector: each row's bytes written over a copy of the
# FAT16 boot sector (dosboot.b).
#   name                               field=hex bytes...                        type
while IFS='|' read -r name edits want; do
    cp "$WORK/d16/vantor/dosboot.b" "$WORK/b"
    for e in $edits; do
        printf "$(sed 's/\([0-9a-f][0-9a-f]\)/\\x\1/g' <<<"${e#*=}")" |
            dd of="$WORK/b" bs=1 seek="$(offset "${e%%=*}")" conv=notrunc status=none
    done
    expect "type: ${name%"${name##*[! ]}"}" "$(fields "$WORK/b" 0 fat_type)" "$want"
done <<'ROWS'
FAT16 as made                        |                                             |FAT16
no 16-bit FAT size, 32-bit size      |sectors_per_fat16=0000                       |FAT32
no FAT sizes, 55 aa                  |sectors_per_fat16=0000 sectors_per_fat32=00000000 |FAT32
no FAT sizes, no 55 aa               |sectors_per_fat16=0000 sectors_per_fat32=00000000 signature=0000 |FAT16
ROWS
expect "type: FAT32 volume" "$(fields "$WORK/d32/disk.img" 63 fat_type)" FAT32

# The MBR of a table sfdisk wrote.
truncate -s 2M "$WORK/mbr.img"
printf 'label: dos\nlabel-id: 0x12345678\nstart=63, size=1000, type=c, bootable\nstart=2048, type=83\n' |
    sfdisk -q "$WORK/mbr.img"
expect "mbr" "$("$DISKBYTES" mbr "$WORK/mbr.img" | grep -v -e 220-223 -e 'partition[34]')" "disk_id 440-443 0x12345678
partition1_status 446-446 80
partition1_type 450-450 0c
partition1_start 454-457 63
partition1_sectors 458-461 1000
partition2_status 462-462 00
partition2_type 466-466 83
partition2_start 470-473 2048
partition2_sectors 474-477 2048
signature 510-511 55 aa"

# Files too short for what is read, or not read at all: a message and 1;
# usage errors: 2. field reads the field's bytes alone (224 bytes hold the
# drive stamp). A FIFO is refused without waiting for a writer.
head -c 223 "$WORK/mbr.img" >"$WORK/s223" && head -c 224 "$WORK/mbr.img" >"$WORK/s224" && mkfifo "$WORK/fifo"
while IFS='|' read -r name args want status; do
    eval "set -- $args"
    out=$(cd "$WORK" && timeout 5 "$DISKBYTES" "$@" 2>&1)
    expect "${name%"${name##*[! ]}"}" "$out / $?" "$want / $status"
done <<'ROWS'
sector past the end   |boot mbr.img 4096              |diskbytes: mbr.img: 2097152 bytes long, too short for sector 4096 (bytes 2097152-2097663)|1
short of a sector     |mbr s224                       |diskbytes: s224: 224 bytes long, too short for sector 0 (bytes 0-511)|1
stamp, 223 bytes      |field s223 drive_stamp         |diskbytes: s223: 223 bytes long, too short for drive_stamp (bytes 220-223)|1
stamp, 224 bytes      |field s224 drive_stamp         |00 00 00 00|0
missing file          |boot none                      |diskbytes: none: cannot open: No such file or directory|1
directory             |boot .                         |diskbytes: .: not a regular file or a block device|1
FIFO                  |field fifo signature           |diskbytes: fifo: not a regular file or a block device|1
sector not a number   |boot mbr.img 1x                |diskbytes: sector '1x': wants a number from 0 to 18014398509481982|2
sector past off_t     |boot mbr.img 18014398509481983 |diskbytes: sector '18014398509481983': wants a number from 0 to 18014398509481982|2
unknown field         |field mbr.img heads2           |diskbytes: no field named 'heads2' (diskbytes names lists them)|2
a table, no program   |program mbr.img                |diskbytes: mbr.img: not a 64-bit ELF program|1
trace missing         |reads mbr.img none             |diskbytes: none: cannot open: No such file or directory|1
names, sector past end|names83 mbr.img 4096           |diskbytes: mbr.img: 2097152 bytes long, too short for sector 4096 (bytes 2097152-2097663)|1
ROWS
# Whether a program names a loader: the build's dosprep does, busybox-static not.
expect "program" "$("$DISKBYTES" program "$BIN") $("$DISKBYTES" program /bin/busybox)" "dynamic static"

# reads: a block trace of a boot, each read named by what the disk holds
# there. Traces are written from sector lists: S, or S:N for one read of N
# sectors; the layout comes from the parameter block and mshowfat's chains.
export MTOOLS_SKIP_CHECK=1
trace() {  # with a line of another event, and a PID@TIME prefix
    local r n=1
    echo 'blk_root_attach child 0x7 blk 0x5 bs 0x6'
    for r; do
        [[ $r == *:* ]] && n=${r#*:} || n=1
        echo "4242@1700000000.000001:blk_co_preadv blk 0x5 bs 0x6 offset $((${r%:*} * 512)) bytes $((n * 512)) flags 0x0"
    done
}
reads() { "$DISKBYTES" reads "$1" <(trace "${@:2}"); }
first() { mshowfat -i "$R@@$((start * 512))" "::$1" | sed -E 's/.*<([0-9]+).*/\1/'; }
cl() { echo $((data + ($1 - 2) * spc)); }
layout() {  # IMAGE 16|32: where partition 1's FAT puts things
    R=$1
    read -r start res fats fatsz entries spc <<<"$(fields "$R" 0 partition1_start) $(fields "$R" 63 \
        reserved_sectors number_of_fats "sectors_per_fat$2" root_entries sectors_per_cluster)"
    fat=$((start + res)) root=$((start + res + fats * fatsz)) data=$((root + entries / 16)) msg=$(first BOOTMSG.TXT)
}
disk "$WORK/r32" --binary "$BIN" --geometry 255/63/1000 --size 400 --setup 'dosprep --sfdisk32' -- --write32 &&
    R=$WORK/r32/disk.img && echo 'start=1000000, size=2048, type=83' | sfdisk -q --append "$R" &&
    echo x >"$WORK/F.TXT" && mmd -i "$R@@32256" ::BOOT ::A ::A/B ::A/B/C ::A/B/C/D ::A/B/C/D/E &&
    for f in BOOT/LOADER.SYS "BOOT/Long name.text" A/B/C/D/F.TXT A/B/C/D/E/F.TXT GONE.TXT; do
        mcopy -i "$R@@32256" "$WORK/F.TXT" "::$f" || break
    done || { echo "FAIL: making the FAT32 disk"; exit 1; }
# Long names are skipped for their 8.3 alias; directories are read 4 deep;
# a deleted file's cluster is free.
layout "$R" 32
dir=$(first BOOT) ldr=$(first BOOT/LOADER.SYS) lfn=$(first "BOOT/Long name.text") deep=$(first A/B/C/D/F.TXT)
deeper=$(first A/B/C/D/E/F.TXT) gone=$(first GONE.TXT) && mdel -i "$R@@32256" ::GONE.TXT
#  reads                                  line
list=() want=
while IFS='|' read -r r line; do list+=($r) want+="$line"$'\n'; done <<ROWS
0 0                                      |0 MBR, 2 reads
$start                                   |$start boot sector of partition 1
$((start + 1))                           |$((start + 1)) FSInfo sector
$((start + 6))                           |$((start + 6)) backup boot sector
$((start + 2)) $((start + 3))            |$((start + 2)) boot area sectors 2-3, 2 reads
$fat $fat $((fat + 1))                   |$fat FAT 1 sectors 0-1, 3 reads
$((fat + fatsz + 15))                    |$((fat + fatsz + 15)) FAT 2 sector 15
$(cl 2):8                                |$(cl 2) root directory, 8 sectors
$(cl "$dir") $(($(cl "$dir") + 1))       |$(cl "$dir") directory BOOT, 2 reads
$(cl "$ldr")                             |$(cl "$ldr") BOOT/LOADER.SYS cluster $ldr
$(cl "$msg") $(($(cl "$msg") + 1)):2     |$(cl "$msg") BOOTMSG.TXT cluster $msg, 2 reads, 3 sectors
$(cl 3) $(cl 4) $(cl 5)                  |$(cl 3) FILLER.BIN clusters 3-5, 3 reads
$(cl 5000)                               |$(cl 5000) free space in partition 1
$(cl "$deep")                            |$(cl "$deep") A/B/C/D/F.TXT cluster $deep
$(cl "$deeper")                          |$(cl "$deeper") free space in partition 1
$(cl "$lfn")                             |$(cl "$lfn") BOOT/LONGNA~1.TEX cluster $lfn
$(cl "$gone")                            |$(cl "$gone") free space in partition 1
$((start + 819200))                      |$((start + 819200)) partition 1 past its file system
1000005                                  |1000005 partition 2 sector 5
10 11                                    |10 outside every partition, 2 reads
ROWS
expect "reads: FAT32" "$(reads "$R" "${list[@]}" | grep -v '^=')" "${want%$'\n'}"
expect "reads: FAT32 summary" "$(reads "$R" "${list[@]}" | grep '^=')" "= file_system FAT32
= root_directory $(cl 2)
= boot_sector_read yes
= root_read yes
= files BOOT/LOADER.SYS BOOTMSG.TXT FILLER.BIN A/B/C/D/F.TXT BOOT/LONGNA~1.TEX
= stray $(cl 5000) free space in partition 1
= reads ${#list[@]}"
# The stray: the first read after the boot sector that the parameter block
# gives the boot code no reason for. A file is entered at its first sector.
#  name                        reads after the MBR and the boot sector   stray
while IFS='|' read -r name r stray; do
    expect "stray: ${name%"${name##*[! ]}"}" "$(reads "$R" 0 $r | sed -n 's/^= stray //p')" "$stray"
done <<ROWS
file entered mid-chain       |$start $(cl 1011)                     |$(cl 1011) FILLER.BIN cluster 1011
file read on from its start  |$start $(cl 3) $(cl 1011)             |none
FAT sector of free clusters  |$start $((fat + 700)) $(cl 2)         |$((fat + 700)) FAT 1 sector 700
FAT sector of a chain        |$start $((fat + fatsz + 15)) $(cl 2)  |none
the MBR again                |$start $(cl 2) 0                      |0 MBR
reads before the boot sector |$(cl 5000) $start $(cl 2)             |none
ROWS

# FAT16: the root directory is a region before the data area.
layout "$WORK/d16/disk.img" 16
expect "reads: FAT16" "$(reads "$R" 0 "$start" $((start + res)) $(seq "$root" $((root + entries / 16 - 1))) "$(cl "$msg")")" \
"0 MBR
$start boot sector of partition 1
$((start + res)) FAT 1 sector 0
$root root directory, $((entries / 16)) reads
$(cl "$msg") BOOTMSG.TXT cluster $msg
= file_system FAT16
= root_directory $root
= boot_sector_read yes
= root_read yes
= files BOOTMSG.TXT
= stray none
= reads $((entries / 16 + 4))"
# No FAT on partition 1: its sectors by number. Bounds: reads past the
# first 100000, lines past 2000.
expect "reads: no FAT" "$(reads "$WORK/mbr.img" 0 63 64 2050 5 | grep -E '^([0-9]|= (file_system|root_dir|stray))')" "0 MBR
63 partition 1 sectors 0-1, 2 reads
2050 partition 2 sector 2
5 outside every partition
= file_system none
= root_directory none
= stray none"
expect "reads: bounds" "$("$DISKBYTES" reads "$WORK/mbr.img" <(seq 100003 | sed 's/.*[02468]$/offset 0 bytes 512/; s/.*[13579]$/offset 2560 bytes 512/') |
    sed -n '2000,$p' | grep -E '^([0-9.]|= reads)')" "0 MBR
... 98000 more lines left out
... 3 more reads left out, past the first 100000
= reads 100000"
# Chains that loop end: FILLER.BIN's last cluster leads back to its first,
# BOOTMSG.TXT's to itself.
layout "$WORK/r32/disk.img" 32
printf '\x03\x00\x00\x00' | dd of="$R" bs=1 seek=$((fat * 512 + 2011 * 4)) conv=notrunc status=none
printf "$(printf '\\x%02x\\x%02x' $((msg & 255)) $((msg >> 8)))\x00\x00" |
    dd of="$R" bs=1 seek=$((fat * 512 + msg * 4)) conv=notrunc status=none
expect "reads: FAT chains that loop" "$(timeout 20 "$DISKBYTES" reads "$R" <(trace "$(cl 2011)" "$(cl "$msg")") | grep -E '^([0-9.]|= reads)')" \
"$(cl 2011) FILLER.BIN cluster 2011
$(cl "$msg") BOOTMSG.TXT cluster $msg
= reads 2"

# names83: the 8.3 names that boot code carries. Hand-made sectors put
# name-like bytes in the label and type fields, in text and next to each other.
put() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
for fat in 16 32; do
    truncate -s 40M "$WORK/mk$fat.img" && mkfs.fat -F "$fat" --invariant "$WORK/mk$fat.img" >/dev/null
    head -c 512 "$WORK/mk$fat.img" >"$WORK/hand$fat.b"
done
put "$WORK/hand32.b" 71 'LABEL   SYSFAT32   xSTAND-IN LOADER\0IO      SYSMSDOS   SYSIO      SYS'
put "$WORK/hand16.b" 43 'LABEL   SYSFAT16   DOSBOOT SYS1NAME   SYS A       TXT'
#  name                      file                                   names
while IFS='|' read -r name file want; do
    expect "names83: ${name%"${name##*[! ]}"}" "$("$DISKBYTES" names83 $file | paste -sd ' ')" "$want"
done <<ROWS
sample FAT32 code alone    |${DISKBYTES%/*}/boot/fat32.bin         |BOOTMSG.TXT
loader's FAT32 code alone  |${DISKBYTES%/*}/boot/fat32load.bin     |LOADER.SYS
FAT32 boot area            |$WORK/d32/vantor/dos98boot.b           |BOOTMSG.TXT
a sample boot sector       |$WORK/r32/disk.img 63                  |BOOTMSG.TXT
mkfs.fat's boot code       |$WORK/mk32.img                         |
hand-made FAT32 sector     |$WORK/hand32.b                         |IO.SYS MSDOS.SYS
hand-made FAT16 sector     |$WORK/hand16.b                         |DOSBOOT.SYS A.TXT
ROWS
# A boot sector that reaches its loader by sector numbers carries no name.
if command -v syslinux >/dev/null; then
    syslinux --install "$WORK/mk32.img" && expect "names83: syslinux" "$("$DISKBYTES" names83 "$WORK/mk32.img")" ""
fi
finish
