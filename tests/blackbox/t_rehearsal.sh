# Rehearsals as a user runs them: the prepared disk boots under a BIOS of
# its geometry and not under another, nor with the table but without the
# boot sector written (mkfs.fat's own boot code), and
# the sandbox's own parts: dosprep in --setup/--check is the binary under
# test, a partition that is a file is whole again after a dd, and the report
# says which vantor files came from --vantor.
. "$(dirname "$0")/harness.sh"

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

finish
