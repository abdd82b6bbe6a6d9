#!/bin/bash
# dosprep-sandbox --fleet: fleet files refused before anything runs (with the
# line and the value), then two models of one driver (AHCI: a controller and
# its disk each) in one VM with --boot (a 2 GiB disk
# the BIOS gives 128 heads, an 8 GiB one it gives 255), their table and its
# JSON, and the same table from --commands run through GNU parallel (or sh)
# and --fleet-table. Skips (77) without QEMU or a kernel for the VM.
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64
SB() { "$SANDBOX" --binary "$BIN" "$@" </dev/null; }

# fleet file | message after "dosprep-sandbox: --fleet F: "
while IFS='|' read -r lines want; do
	printf '%b' "$lines" >"$WORK/bad"
	expect "refuses: $want" "$(SB --fleet "$WORK/bad" 2>&1; echo "status $?")" "dosprep-sandbox: --fleet $WORK/bad: $want
status 125"
done <<'ROWS'
a ide 2G\nb floppy 2G\n|line 2: driver 'floppy': wants one of ide, ahci, virtio-blk, virtio-scsi, nvme, lsi, megasas, megasas-gen2, mptsas, pvscsi, am53c974, usb-storage, usb-uas or sd-card
# models\n\na ide 2G\na ide 8G\n|line 4: model name 'a' is on line 3 already
a ide 2T\n|line 1: disk size '2T': wants NG, NGiB, NM, NMiB or H/S/C
a ide 2G sometime\n|line 1: start 'sometime': wants blank, dos, gpt or premade
a/b ide 2G\n|line 1: model name 'a/b': wants letters, digits, . _ - (at most 64)
a nvme 8G gpt bochs\n|line 1: BIOS 'bochs' drives IDE disks only (ide), not nvme
# nothing\n|no machine model in it
ROWS
expect "--json alone" "$(SB --json 2>&1; echo "status $?")" "dosprep-sandbox: --json: only with --fleet or --fleet-table
status 125"
printf 'a ide 2G\n' >"$WORK/one"
for f in --power-cut --io-error=mbr; do
	expect "$f with --fleet" "$(SB --fleet "$WORK/one" "$f" 2>&1; echo "status $?")" \
		"dosprep-sandbox: ${f%=*}: not with --fleet (a run of its own: one model's --vm)
status 125"
done

"$SRC/sandbox/vm/kernel" >/dev/null 2>&1 || { echo "SKIP: no kernel for the VM (tools/deps)"; finish; exit; }
printf 'small ahci 2G\nlarge ahci 8GiB blank\n' >"$WORK/fleet"
run=(--size 400 --setup 'dosprep --sfdisk32' --setup 'mkfs.fat -F 32 /dev/sssd1' --boot -- --write32)
SB --fleet "$WORK/fleet" --jobs 2 --keep "$WORK/keep" "${run[@]}" >"$WORK/table" 2>"$WORK/progress"
expect "fleet status" "$?" 1
SB --fleet-table "$WORK/keep" --json >"$WORK/json"
expect "fleet table" "$(sed -En 's/.*"model": "([^"]*)".*"hdio_getgeo": "([^"]*)".*"landed": "([^"]*)".*"bios": "([^"]*)", "verdict": "([^"]*)".*/\1 \2 \3 \4 \5/p' "$WORK/json")" \
	"large 255/63/1044 yes 255/63 booted
small 255/63/261 yes 128/63 did not boot"
# A line per finished model, counted in the order they finished.
expect "progress" "$(sed -E 's/, [0-9]+ s$//; s/^\[[12]\/2\] //' "$WORK/progress" | sort) $(cut -c1-5 "$WORK/progress" | paste -sd ' ')" \
	"large: booted
small: did not boot [1/2] [2/2]"
expect "kept reports" "$(ls "$WORK/keep"/*/report | wc -l)" 2
# Models of one driver share a kernel: one VM with a disk each.
expect "one VM" "$(sed -n 's/^== kernel .* as \(\/dev\/[a-z]*\),.*/\1/p' "$WORK/keep"/*/report | sort | paste -sd ' ')" \
	"/dev/sda /dev/sdb"

# The same models as standalone commands, run elsewhere (here: GNU parallel
# when there is one), then one table of their reports.
SB --fleet "$WORK/fleet" --commands "$WORK/cmds" "${run[@]}" >"$WORK/commands"
if command -v parallel >/dev/null; then parallel -j 2 <"$WORK/commands"; else sh "$WORK/commands"; fi
SB --fleet-table "$WORK/cmds" >"$WORK/table2"
expect "--commands and --fleet-table" "$(awk '{NF--; print}' "$WORK/table2" | sort)" \
	"$(awk '{NF--; print}' "$WORK/table" | sort)"

# Ctrl-C (INT to the fleet's process group) stops every model's VM at once
# and prints the table of those that finished: none here.
printf 'slow ide 2G\n' >"$WORK/slow"
set -m
SB --fleet "$WORK/slow" --setup 'sleep 120' >"$WORK/stopped" 2>&1 &
pid=$!
set +m
sleep 8
t0=$(date +%s%N)
kill -INT -- "-$pid"
wait "$pid"
got="status $?"
(($(date +%s%N) - t0 < 12000000000)) && got+=", in time" || got+=", late"
expect "Ctrl-C" "$got, $(wc -l <"$WORK/stopped") line, $(pgrep -fc 'sleep 120|/\.vm/slow/disk\.img') left" \
	"status 130, in time, 1 line, 0 left"
finish
