# Rehearsals as a user runs them: the prepared disk boots under the BIOS's
# own geometry for its size and not under another, nor with the table but
# without the boot sector written (mkfs.fat's own boot code), and
# the sandbox's own parts: disks left by a previous installation (--start)
# read as util-linux reads them, GPT included; warnings about inputs; every
# setup and check command's output and status; dosprep in --setup/--check is
# the binary under test, a partition that is a file is whole again after a
# dd, and the report says which vantor files came from --vantor.
. "$(dirname "$0")/../lib/functions.sh"

report() {  # SANDBOX-OPTIONS ARGS: the report and check output of a rehearsal
    run_in "$1 --report -" "$(mktemp -u "$WORK/r.XXXXXX")" $2 2>/dev/null </dev/null
}
boot_lines() { report "$@" | sed -n 's/^== boot under a BIOS of //p; $p' | paste -sd' '; }
MK="--setup 'dosprep --sfdisk32' --setup 'mkfs.fat -F 32 /dev/sssd1'"
if command -v qemu-system-x86_64 >/dev/null; then
    # The BIOS's own geometry: 128 heads for 2 GiB, 255 for 7.7 GiB.
    #      name                      sandbox options                                 arguments  BIOS, last line
    while IFS='|' read -r name opts args want; do
        [[ $opts == *--geometry* ]] || opts="--geometry 255/63/1000 --size 400 $opts"
        expect "${name%"${name##*[! ]}"}" "$(boot_lines "--boot $opts" "$args")" "$want"
    done <<ROWS
FAT32 prepared, BIOS 255/63 |--setup 'dosprep --sfdisk32'                       |--write32 |255/63 booted
FAT32 prepared, BIOS 16/63  |--setup 'dosprep --sfdisk32' --bios-geometry 16/63 |--write32 |16/63 did not boot
FAT16 prepared, BIOS 255/63 |--format 16 --setup 'dosprep --sfdisk16'           |--write16 |255/63 booted
FAT16 prepared, BIOS 16/63  |--format 16 --setup 'dosprep --sfdisk16' --bios-geometry 16/63 |--write16 |16/63 did not boot
table only, no boot sector   |--setup 'dosprep --sfdisk32'                       |-v        |255/63 did not boot
2 GiB disk, BIOS 128/63      |--geometry 255/63/261 --size 1000 --setup 'dosprep --sfdisk32' |--write32 |128/63 did not boot
new file system on partition 1 |$MK                                             |--write32 |255/63 booted
ROWS
else
    echo "SKIP: qemu-system-x86_64 missing"
fi

# --start: partition 1 as the table gives it, before and after, and where
# the report reads its boot sector.
P='s/^(\/dev\/sssd1 : start= *[0-9]+).*(type=[^,]{1,2}).*/\1 \2/p; s/^== boot sector.* at (sector [0-9]+).*/\1/p; s/^(label: .*)/\1/p'
while IFS='|' read -r name opts args want; do
    expect "--start ${name%"${name##*[! ]}"}" "$(report "--geometry 255/63/1000 --size 400 $opts" "$args" |
        sed -nE "$P" | paste -sd' ')" "$want"
done <<ROWS
gpt            |--start gpt     |--write32 |label: gpt /dev/sssd1 : start=        2048 type=C1 label: gpt /dev/sssd1 : start=        2048 type=C1 sector 2048
gpt, DOS table |--start gpt $MK |--write32 |label: gpt /dev/sssd1 : start=        2048 type=C1 label: dos /dev/sssd1 : start=          63 type=c sector 63
dos            |--start dos     |--sfdisk32 |label: dos /dev/sssd1 : start=        2048 type=83 label: dos /dev/sssd1 : start=          63 type=c sector 63
blank          |--start blank   |-v        |sector 63
blank, file    |--start blank --partition-file --setup 'dosprep --sfdisk32' |-v |label: dos /dev/sssd1 : start=          63 type=c sector 63
ROWS
img=$WORK/mine.img && truncate -s 128M "$img" && echo 'start=2048, type=83' | sfdisk -q "$img" && sum=$(sha256sum <"$img")
expect "--start IMAGE" "$(report "--start $img" --sfdisk32 | grep -c '^/dev/sssd1 : start=          63, size=      209664, type=c')/$(sha256sum <"$img")" "1/$sum"

# Warnings about inputs dosprep reads in its own way.
X=/root/vantor/bootpartition.xml
printf '<megabytesize>200</megabytesize>\n' >"$WORK/mine.xml" && mkdir -p "$WORK/v200" && cp "$WORK/mine.xml" "$WORK/v200/bootpartition.xml"
while IFS='|' read -r name opts want; do
    expect "warning: ${name%"${name##*[! ]}"}" "$(report "$opts" -v | grep '^warning: ')" "$(printf '%b' "$want")"
done <<ROWS
none            |                                              |
size 2.5        |--setup "printf '<megabytesize>2.5<' >$X"     |warning: <megabytesize> "2.5" is not plain digits: dosprep makes 185 MB of it (387072 sectors)
size wraps      |--setup "printf '<megabytesize>4294967396<' >$X" |warning: <megabytesize> 4294967396 does not fit 32 bits: dosprep makes 100 MB of it (209664 sectors)
no size         |--setup "printf '<megabytesize><' >$X"        |warning: dosprep finds no size in bootpartition.xml (line "<megabytesize><") and makes partition 1 4292902 sectors
past the disk   |--geometry 255/63/100 --size 1000             |warning: the partition dosprep makes (start 63, 2048256 sectors) does not fit the disk of 2048063 sectors
short templates |--setup 'truncate -s 3071 /root/vantor/dos98boot.b; truncate -s 511 /root/vantor/dosboot.b' |warning: dos98boot.b has 3071 bytes, less than the 6 sectors (3072 bytes) of the FAT32 boot area that dosprep writes from it\nwarning: dosboot.b has 511 bytes, less than the sector (512 bytes) that dosprep writes from it
controller      |--ssprimary-raw $'SCSI\r'                      |warning: ssprimary's first line "SCSI\\\\r" names no known controller (KLARN, TOVRIXAR, SCSI, ATA): dosprep takes it as none and stamps no drive numbers
--vantor size   |--vantor $WORK/v200                            |warning: bootpartition.xml (from --vantor $WORK/v200) asks for 200 MB, while --size made the pre-made partition 1 and the volume of dos98boot.b 100 MB
default size    |--size 1048573 --format none                  |warning: <megabytesize> 1048573 gives 1048573 MB, whose sectors, rounded up to whole cylinders, do not fit 32 bits: dosprep makes partition 1 its default size, 4292902 sectors
size 0          |--setup "printf '<megabytesize>0<' >$X"       |warning: <megabytesize> 0 asks for no space: dosprep makes partition 1 its default size, 4292902 sectors
ROWS

# FAT32's boot area written over a partition with no file system: the drive
# number at 64, and fsck says why it did not run.
expect "FAT32 over nothing" "$(report "--start gpt --geometry 255/63/1000 --size 400 --setup 'dosprep --sfdisk32'" --write32 |
    grep -A2 '^drive number')" "drive number (64, FAT32): 00 -> 80
== fsck.fat -n /dev/sssd1
not run: partition 1 holds no FAT file system"

# Every setup and check command with its output and status: a setup's
# dosprep whose sfdisk failed still ends with 0.
expect "setup and check output" "$(report "--geometry 16/0/1000 --setup 'dosprep --sfdisk32' --check 'exit 3'" -v |
    grep -e '^== setup' -e '^== check' -e 'out of range' -e '^status')" "== setup: dosprep --sfdisk32
/dev/sssd1: Start sector 0 out of range.
Failed to add #1 partition: Numerical result out of range
status 0
== check: exit 3
status 3"

# --after runs after dosprep and before the checks; the boot sector rows are
# what dosprep wrote, even when the installer's next step overwrites them. A
# failed --after ends the run as a failed setup does.
expect "--after" "$(report "--setup 'dosprep --sfdisk32' --after 'echo next; head -c 512 /dev/zero >/dev/sssd1' --check 'echo check'" \
    --write32 | grep -e '^heads' -e '^== after' -e '^== check' -e '^next' -e '^status' -e 'not run')" "status 0
heads (26-27): 64 -> 255
not run: partition 1 holds no FAT file system
== after: echo next; head -c 512 /dev/zero >/dev/sssd1
next
status 0
== check: echo check
status 0"
expect "--after fails" "$(run_in "--after 'echo oops; exit 4' --check 'echo not run'" "$WORK/af" -v 2>&1 </dev/null; echo "status $?")" \
    "dosprep ver 0.5.11
dosprep-sandbox: after command failed (status 4): echo oops; exit 4
oops
status 125"

# dosprep in --setup and --check is the --binary.
expect "dosprep in --check" "$(run_in "--binary /bin/echo --check 'dosprep is --binary'" "$WORK/e" -n 2>&1)" "is --binary"
# A dd without conv=notrunc truncates a partition that is a file only until
# its command ends.
expect "partition file after dd" "$(report "--partition-file --format 16 --setup 'dosprep --write16'" -v |
    sed -n '/^== fsck/,/^clean/p' | tail -1)" clean
# Which vantor files are the user's, which the sandbox's.
mkdir -p "$WORK/mine" && printf 'ATA\n' >"$WORK/mine/ssprimary"
expect "vantor files" "$(report "--vantor $WORK/mine" -v | grep -e '^from --vantor' -e '^made by')" \
    "from --vantor ($WORK/mine): ssprimary
made by the sandbox: bootpartition.xml dos98boot.b dosboot.b"

: >"$WORK/empty.img" && mkdir -p "$WORK/none" "$WORK/big" && head -c 45M /dev/urandom >"$WORK/big/BIG.BIN"
# Values refused before anything runs, and numbers read as decimal with
# their leading zeros: what the sandbox says, then its status.
while IFS='|' read -r name opts want; do
    [[ $opts == *--binary* ]] || opts="--binary /bin/true $opts"
    expect "${name%"${name##*[! ]}"}" "$(run_in "$opts" "$(mktemp -u "$WORK/v.XXXXXX")" 2>&1 </dev/null) / $?" "$want"
done <<ROWS
empty --keep           |--keep ''                      |dosprep-sandbox: option --keep needs a value / 125
--report, no directory |--report /nonexistent-dir/r    |dosprep-sandbox: --report /nonexistent-dir/r: cannot write there / 125
--report under /proc   |--report /proc/sandbox-report  |dosprep-sandbox: --report /proc/sandbox-report: cannot write there / 125
disks past z           |--boot-node /dev/sdz --disks 3 |dosprep-sandbox: --disks 3: the names of following disks count up the last character of /dev/sdz and would run past z / 125
disks up to z          |--boot-node /dev/sdx --disks 2 --check 'ls /dev/sdz' |/dev/sdz / 0
--size with zeros      |--size 0100 --check 'grep -o "<megabytesize>[0-9]*" /root/vantor/bootpartition.xml' |<megabytesize>100 / 0
--geometry with zeros  |--geometry 0255/063/01000 --check 'cat \$DOSPREP_SANDBOX_DIR/geometry' |255/63/1000 / 0
--geometry past 255    |--geometry 256/63/1000            |dosprep-sandbox: --geometry 256/63/1000: wants H/S/C, heads and sectors per track 0 to 255, cylinders 0 to 65535 / 125
--vm, no cylinders     |--vm ide --geometry 255/63/0      |dosprep-sandbox: --geometry 255/63/0: with --vm wants heads, sectors per track and cylinders 1 and up / 125
BIOS past 63 sectors   |--boot --bios-geometry 0016/064   |dosprep-sandbox: --bios-geometry 0016/064: wants H/S, heads 1 to 255, sectors per track 1 to 63 / 125
--start with --format  |--start blank --format 16        |dosprep-sandbox: --format: there is no pre-made partition with --start / 125
--start with --no-disk |--start blank --no-disk          |dosprep-sandbox: --start: there is no disk (--no-disk) / 125
--start too small      |--start dos --geometry 255/63/100 |dosprep-sandbox: --start dos: the disk of --geometry 255/63/100 holds 1606500 sectors, this state needs 2101248 / 125
empty --start          |--start ''                        |dosprep-sandbox: --start '': wants blank, dos, gpt or a disk image file / 125
empty --start file     |--start $WORK/empty.img           |dosprep-sandbox: --start $WORK/empty.img: an empty file, not a disk image / 125
--report to a device   |--report /dev/full                |dosprep-sandbox: --report /dev/full: not a regular file (a report goes to -, a file or a new file) / 125
--report, new in /dev  |--report /dev/sandbox-report      |dosprep-sandbox: --report /dev/sandbox-report: no such file under /dev (a report goes to -, a file or a new file) / 125
--report twice         |--report - --report r             |dosprep-sandbox: option --report given twice (it takes one value) / 125
--vm, no value         |--vm --size 4                     |dosprep-sandbox: option --vm needs a value / 125
dosprep's option first |--report - --sfdisk32             |dosprep-sandbox: unknown option --sfdisk32 (see --help; dosprep's own arguments go after --) / 125
--bios-geometry alone  |--bios-geometry 255/63            |dosprep-sandbox: --bios-geometry: only with --boot / 125
--files of a file      |--files $WORK/empty.img           |dosprep-sandbox: --files $WORK/empty.img: not a directory / 125
--files, empty         |--files $WORK/none --check 'echo ok' |ok / 0
--files too big        |--size 40 --files $WORK/big       |dosprep-sandbox: --files $WORK/big: cannot copy BIG.BIN onto partition 1 of 40 MB: Disk full / 125
no --binary            |--binary $WORK/none/dosprep       |dosprep-sandbox: --binary $WORK/none/dosprep: no such program (an executable dosprep) / 125
no --preload           |--preload $WORK/none/lib.so       |dosprep-sandbox: --preload $WORK/none/lib.so: no such file (the geometry library, libdosprep-geometry.so) / 125
--power-cut, no --vm   |--power-cut                       |dosprep-sandbox: --power-cut: only with --vm / 125
--io-error, no --vm    |--io-error mbr:read               |dosprep-sandbox: --io-error: only with --vm / 125
--power-cut, bad value |--vm ide --power-cut=torn         |dosprep-sandbox: --power-cut torn: wants writes or flushes (default writes) / 125
two faults             |--vm ide --power-cut --io-error 0 |dosprep-sandbox: --io-error: not with --power-cut (one fault a run) / 125
--io-error, bad name   |--vm ide --io-error fats          |dosprep-sandbox: --io-error fats: wants WHERE[:read|write], WHERE a sector, A-B, mbr, boot-sector, backup-boot-sector or fat / 125
--io-error, bad kind   |--vm ide --io-error mbr:erase     |dosprep-sandbox: --io-error mbr:erase: wants WHERE[:read|write], WHERE a sector, A-B, mbr, boot-sector, backup-boot-sector or fat / 125
--io-error, B before A |--vm ide --io-error 9-3:write     |dosprep-sandbox: --io-error 9-3:write: the range A-B wants A not past B / 125
--io-error past disk   |--vm ide --geometry 255/63/1000 --io-error 16065000 |dosprep-sandbox: --io-error 16065000: the disk has sectors 0 to 16064999 / 125
--io-error, 65537      |--vm ide --io-error 0-65536       |dosprep-sandbox: --io-error 0-65536: at most 65536 sectors / 125
ROWS

finish
