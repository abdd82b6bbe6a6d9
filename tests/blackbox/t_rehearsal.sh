# Rehearsals as a user runs them: the prepared disk boots under a BIOS of
# its geometry and not under another, nor with the table but without the
# boot sector written (mkfs.fat's own boot code), and
# the sandbox's own parts: dosprep in --setup/--check is the binary under
# test, a partition that is a file is whole again after a dd, and the report
# says which vantor files came from --vantor.
. "$(dirname "$0")/../lib/functions.sh"

report() {  # SANDBOX-OPTIONS ARGS: the report and check output of a rehearsal
    run_in "$1 --report -" "$(mktemp -u "$WORK/r.XXXXXX")" $2 2>/dev/null </dev/null
}
verdict() { report "$@" | tail -1; }
G='--geometry 255/63/1000 --size 400 --boot'
if command -v qemu-system-x86_64 >/dev/null; then
    #      name                      sandbox options                                 arguments      last line
    while IFS='|' read -r name opts args want; do
        expect "${name%"${name##*[! ]}"}" "$(verdict "$G $opts" "$args")" "$want"
    done <<'ROWS'
FAT32 prepared, BIOS 255/63 |--setup 'dosprep --sfdisk32'                       |--write32 |booted
FAT32 prepared, BIOS 16/63  |--setup 'dosprep --sfdisk32' --bios-geometry 16/63 |--write32 |did not boot
FAT16 prepared, BIOS 255/63 |--format 16 --setup 'dosprep --sfdisk16'           |--write16 |booted
FAT16 prepared, BIOS 16/63  |--format 16 --setup 'dosprep --sfdisk16' --bios-geometry 16/63 |--write16 |did not boot
table only, no boot sector   |--setup 'dosprep --sfdisk32'                       |-v        |did not boot
ROWS
else
    echo "SKIP: qemu-system-x86_64 missing"
fi

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

# Values refused before anything runs, and numbers read as decimal with
# their leading zeros: what the sandbox says, then its status.
while IFS='|' read -r name opts want; do
    expect "${name%"${name##*[! ]}"}" "$(run_in "--binary /bin/true $opts" "$(mktemp -u "$WORK/v.XXXXXX")" 2>&1 </dev/null) / $?" "$want"
done <<'ROWS'
empty --keep           |--keep ''                      |dosprep-sandbox: option --keep needs a value / 125
--report, no directory |--report /nonexistent-dir/r    |dosprep-sandbox: --report /nonexistent-dir/r: cannot write there / 125
--report under /proc   |--report /proc/sandbox-report  |dosprep-sandbox: --report /proc/sandbox-report: cannot write there / 125
disks past z           |--boot-node /dev/sdz --disks 3 |dosprep-sandbox: --disks 3: the names of following disks count up the last character of /dev/sdz and would run past z / 125
disks up to z          |--boot-node /dev/sdx --disks 2 --check 'ls /dev/sdz' |/dev/sdz / 0
--size with zeros      |--size 0100 --check 'grep -o "<megabytesize>[0-9]*" /root/vantor/bootpartition.xml' |<megabytesize>100 / 0
--geometry with zeros  |--geometry 0255/063/01000 --check 'cat $DOSPREP_SANDBOX_DIR/geometry' |255/63/1000 / 0
ROWS

finish
