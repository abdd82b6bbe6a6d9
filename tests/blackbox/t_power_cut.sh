# What --power-cut makes of a write log without a VM: diskbytes' reading and
# replay of hand-made logs, the names of a disk's places, which step each
# logged write belongs to, where a write is torn, and what counts as ending
# differently. The functions are lib/faults.sh's and lib/power-cut.sh's.
. "$(dirname "$0")/../lib/functions.sh"
skip_unless partx mdir

# A log: the super block (magic, version 1, COUNT entries, 512-byte sectors),
# then each entry "SECTOR COUNT FLAGS FILL": its header sector and, unless a
# discard (4), COUNT sectors of the byte FILL; then an empty sector.
le64() { local i; for ((i = 0; i < 8; i++)); do printf "\\x$(printf %02x $((($1 >> (8 * i)) & 255)))"; done; }
mklog() { # FILE COUNT ENTRY...
    local f=$1 e
    { le64 $((0x6a736677736872)) && le64 1 && le64 "$2" && printf '\x00\x02\x00\x00' && head -c 484 /dev/zero; } >"$f"
    for e in "${@:3}"; do
        set -- $e
        { le64 "$1" && le64 "$2" && le64 "$3" && le64 0 && head -c 480 /dev/zero; } >>"$f"
        ((($3 & 4) || $2 == 0)) || head -c $(($2 * 512)) /dev/zero | tr '\0' "\\$(printf %03o "'$4")" >>"$f"
    done
    head -c 512 /dev/zero >>"$f"
}
# The image's byte at each SECTOR, as one word each (ff: untouched).
at() { local s; for s in "${@:2}"; do od -An -tx1 -j $((s * 512)) -N 1 "$1" | tr -d ' \n'; echo -n ' '; done; }
fresh() { head -c $((40 * 512)) /dev/zero | tr '\0' '\377' >"$WORK/img"; }

# The super block's count is stale (1): the entries are walked to the end.
mklog "$WORK/log" 1 "10 2 0 a" "0 0 1 -" "20 4 4 -" "30 1 0 b"
expect "writelog: entries" "$("$DISKBYTES" writelog "$WORK/log")" "1 write 10 2
2 flush 0 0
3 discard 20 4
4 write 30 1"
# replay ARGS | the first byte of sectors 9 10 11 20 23 24 30 31 after it, and its status
while IFS='|' read -r name args want; do
    fresh
    "$DISKBYTES" replay "$WORK/log" "$WORK/img" $args 2>"$WORK/err"
    rc=$?
    expect "replay: $name" "$(at "$WORK/img" 9 10 11 20 23 24 30 31)/ $rc $(sed "s#$WORK/#WORK/#" "$WORK/err")" "$want"
done <<'ROWS'
all             |1 4   |ff 61 61 00 00 ff 62 ff / 0 
from the 2nd    |2 4   |ff ff ff 00 00 ff 62 ff / 0 
up to the 1st   |1 1   |ff 61 61 ff ff ff ff ff / 0 
torn after 1    |1 1 1 |ff 61 ff ff ff ff ff ff / 0 
torn after none |1 4 0 |ff 61 61 00 00 ff ff ff / 0 
past the end    |1 9   |ff 61 61 00 00 ff 62 ff / 1 diskbytes: WORK/log: 4 entries, not 9
ROWS
mklog "$WORK/bad" 1 "10 1 64 a"
expect "writelog: unknown flags" "$("$DISKBYTES" writelog "$WORK/bad" 2>&1; echo "status $?")" \
    "diskbytes: $WORK/bad: a damaged entry at log sector 1
status 1"
printf 'not a log' | dd of="$WORK/bad" conv=notrunc status=none
expect "writelog: no log" "$("$DISKBYTES" writelog "$WORK/bad" 2>&1; echo "status $?")" \
    "diskbytes: $WORK/bad: not a write log of 512-byte sectors (dm-log-writes version 1)
status 1"

# The sandbox's FAT32 disk of 100 MB: partition 1 at 63, 32 reserved
# sectors, backup boot area at 6, two FATs of 794 sectors.
disk "$WORK/d" --binary "$BIN" --size 100 || { echo "FAIL: making the disk"; exit 1; }
S=$WORK diskbytes=$DISKBYTES rec=$WORK/rec faults_dir=$WORK/faults
. "$SRC/sandbox/lib/report.sh"
. "$SRC/sandbox/lib/faults.sh"
. "$SRC/sandbox/lib/power-cut.sh"
read_layout "$WORK/d/disk.img"
expect "layout" "$lay_start $lay_size $lay_fat $lay_reserved $lay_fats $lay_fat_size $lay_backup" "63 204800 1 32 2 794 6"
while IFS='|' read -r a b want; do
    expect "sectors $a-$b" "$(sector_names "$a" "$b")" "$want"
done <<'ROWS'
0|7|MBR, before partition 1
63|63|boot area of partition 1 sector 0
64|70|boot area of partition 1 sector 1-5, backup boot area sector 0-1
74|95|backup boot area sector 5, reserved sectors of partition 1, FAT 1
888|889|FAT 1, FAT 2
1682|1683|FAT 2, data
204862|204900|data, after partition 1
ROWS
# Inside a write: each sector of one up to 16, else where its pieces end.
e_sector=('' 0 63 1000) e_count=('' 8 1024 16)
expect "torn points" "$(for k in 1 2 3; do torn_points $k | paste -sd' '; done)" "1 2 3 4 5 6 7
6 12 32 826
1 2 3 4 5 6 7 8 9 10 11 12 13 14 15"

# Which step made each write: the guest's sector counts after each step
# (8 sectors before the steps, 8 by setup 1, none by setup 2, 16 by
# dosprep, 8 by a check); a flush goes with the write before it.
mkdir -p "$rec" "$faults_dir"
mark() { echo "$1 0 0 0 0 0 0 0 0 $2 0 0 0 0 0 0 0 0 0"; }
{ mark start 8; mark setup.1 16; mark setup.2 16; mark dosprep.0 32; mark check.1 40; } >"$rec/iostat"
printf '%s\n' "1 write 40 8" "2 flush 0 0" "3 write 0 8" "4 flush 0 0" "5 write 63 8" "6 write 71 8" \
    "7 flush 0 0" "8 write 900 8" >"$faults_dir/entries"
read_marks
attribute_entries
expect "steps of the entries" "${e_step[*]:1} / ${mark_names[*]} / $log_writes" \
    "0 0 1 1 3 3 3 4 / start setup.1 setup.2 dosprep.0 check.1 / 40"

# How a cut point reads in the report: a write whole or torn, a flush after
# the write before it, by the step of each (entries of the row above).
e_kind=('' write flush write write flush write write flush write) e_sector=('' 40 0 0 63 0 71 900 0 1000)
e_count=('' 8 0 8 8 0 8 8 0 4) ordinal=([3]=1 [4]=2 [6]=3 [7]=4 [5]=2) cut_base=2
echo 'dosprep --sfdisk32' >"$rec/setup.1.cmd"
expect "cut names" "$(for c in 3 4-1 5 7; do cut_name $c; done)" \
    "write 1 (setup 1: dosprep --sfdisk32), sectors 0-7 (MBR, before partition 1)
write 2 (setup 1: dosprep --sfdisk32) torn after 1 of its 8 sectors, 63 (boot area of partition 1 sector 0)
flush 2 (dosprep), after the write of sectors 63-70 (boot area of partition 1 sector 0-5, backup boot area sector 0-1)
write 4 (dosprep), sectors 900-907 (FAT 2)"
# A rerun that failed, and one whose dosprep ended otherwise, end differently.
echo 0 >"$rec/dosprep.status"
cp "$WORK/d/disk.img" "$WORK/ref.img"
echo clean >"$WORK/fsck" && compare_lines "$WORK/ref.img" "$WORK/fsck" >"$faults_dir/ref.lines"
while IFS='|' read -r name status err want; do
    status=${status// /}
    echo "$status" >"$WORK/cut.status" && printf '%b' "$err" >"$WORK/cut.err" && rm -f "$WORK/cut.lines"
    [ "$status" = 125 ] || cp "$faults_dir/ref.lines" "$WORK/cut.lines"
    expect "outcome: $name" "$(cut_outcome "$WORK/cut")" "$want"
done <<'ROWS'
same           |0  ||same
dosprep failed |1  ||differs: dosprep's status 0 -> 1
setup failed   |125|\ndosprep-sandbox: setup command failed (status 1): mkfs.fat\nmore|differs: the rerun failed: setup command failed (status 1): mkfs.fat
ROWS

# --io-error's places: a name resolved on the disk a simulated run of the
# steps leaves (here none: the disk as made), then one rule per sector and
# kind. place | its sectors, how many rules, the kinds
binary=$BIN preload=$DOSPREP_PRELOAD argv0=dosprep size=100 raw_set=0 controller=SCSI vantor_dir=''
setups=() afters=() heads=64 spt=32 cylinders=100 sandbox_cmd=$SANDBOX
cp "$WORK/d/disk.img" "$faults_dir/start.img" && mkdir -p "$faults_dir/tmp"
die() { echo "died: $*"; }
while IFS='|' read -r io_error want; do
    rm -rf "$faults_dir/layout"*
    io_error_rules -- --version 2>&1
    expect "io-error $io_error" "$io_first-$io_last $(grep -c inject-error "$fault_blkdebug")$(grep -o \
        'iotype = "[a-z]*"' "$fault_blkdebug" | sort -u | cut -d'"' -f2 | sed 's/^/ /' | tr -d '\n')" "$want"
done <<'ROWS'
mbr|0-0 2 read write
boot-sector:write|63-63 1 write
backup-boot-sector:read|69-69 1 read
fat|95-1682 3176 read write
5-7:write|5-7 3 write
ROWS

# What ends differently: a copy of the disk with one change each, against
# the disk itself (the same fsck words for both).
echo "clean" >"$WORK/fsck"
compare_lines "$WORK/d/disk.img" "$WORK/fsck" >"$WORK/ref.lines"
while IFS='|' read -r name offset bytes want; do
    cp --sparse=always "$WORK/d/disk.img" "$WORK/c.img"
    [ -z "$offset" ] || printf "$bytes" | dd of="$WORK/c.img" bs=1 seek="$offset" conv=notrunc status=none
    compare_lines "$WORK/c.img" "$WORK/fsck" >"$WORK/c.lines"
    expect "differences: $name" "$(differences "$WORK/ref.lines" "$WORK/c.lines")" "$want"
done <<ROWS
none|||
volume ID|$((63 * 512 + 67))|\\x12\\x34\\x56\\x78|
MBR code|10|\\x90|the MBR
disk identifier (a new table gets a new one)|440|\\x01|
the byte after the identifier|444|\\x01|the MBR
partition 1's size|458|\\x01|partition 1 (start 63, size 204800 -> start 63, size 204801)
boot sector's heads|$((63 * 512 + 26))|\\x10|its boot area
FSInfo sector|$((64 * 512 + 488))|\\x01|its boot area
backup's heads|$((69 * 512 + 26))|\\x10|its backup boot area
ROWS
# fsck's words: its verdicts when they differ, else the first line the
# undisturbed run's did not have.
echo "clean" >"$WORK/ref.fsck"
compare_lines "$WORK/d/disk.img" "$WORK/ref.fsck" >"$WORK/ref.lines"
while IFS='|' read -r name words want; do
    printf "$words" >"$WORK/c.fsck"
    compare_lines "$WORK/d/disk.img" "$WORK/c.fsck" >"$WORK/c.lines"
    expect "differences: fsck $name" "$(differences "$WORK/ref.lines" "$WORK/c.lines")" "$want"
done <<'ROWS'
other verdict|not clean (status 1)\n|fsck (clean -> not clean (status 1))
other words|FATs differ - using first FAT.\nclean\n|fsck (clean: "FATs differ - using first FAT.")
ROWS
finish
