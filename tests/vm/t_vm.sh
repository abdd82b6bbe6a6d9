#!/bin/bash
# dosprep-sandbox --vm: dosprep --sfdisk32 then --write32 on a real kernel,
# per disk driver: the geometry the driver reports, where the kernel sees
# partition 1 afterwards, the table on the disk, and the boot. Then what
# --vm refuses. Skips (77) without QEMU or a kernel for the VM.
# Usage: t_vm.sh path/to/dosprep
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64
"$SRC/sandbox/vm/kernel" >/dev/null 2>&1 || { echo "SKIP: no kernel for the VM (tools/deps)"; exit 77; }
disk='--geometry 255/63/1000 --size 400'
sfdisk32="--setup 'dosprep --sfdisk32'"

# Each line of the report that a row wants: a glob that some line matches.
# name | sandbox options | wanted lines, joined by " ; "
while IFS='|' read -r name opts want; do
	eval "set -- $opts"
	"$SANDBOX" --binary "$BIN" "$@" --report "$WORK/report" -- --write32 >"$WORK/out" 2>&1
	got="status $?"
	mapfile -t lines <"$WORK/report" 2>/dev/null
	IFS=';' read -ra globs <<<"$want"
	for g in "${globs[@]}"; do
		g=${g# } g=${g% }
		for l in "${lines[@]}" none; do [[ $l == $g ]] && break; done
		[[ $l == none ]] && got+="; missing $g" || got+="; $g"
	done
	# What the setup's dosprep and mkfs.fat did is theirs, not the run's:
	# no vantor file the setup made shows as dosprep's, and mkfs.fat in the
	# guest converts its names with no complaint about codepages.
	! grep -q -e '^created dosboot.sfdisk' -e 'codepage' "$WORK/report" || got+="; the setup's work in the report"
	expect "$name" "$got" "status 0; ${want//' ; '/; }" || cat "$WORK/out"
done <<ROWS
ide boots|--vm ide $disk $sfdisk32 --boot|== kernel *, boot disk on ide as /dev/sda, HDIO_GETGEO 255/63/1000 ; /dev/sssd1 : start=          63, size=      822528, type=c, bootable ; == partition 1 as the kernel sees it: start 63, size 822528 ; sectors per track (24-25): * -> 63 ; booted
nvme does not boot|--vm nvme $disk $sfdisk32 --boot|== kernel *, boot disk on nvme as /dev/nvme0n1, HDIO_GETGEO 64/32/7844 ; == partition 1 as the kernel sees it: start 32, size 819520 ; sectors per track (24-25): * -> 32 ; did not boot
gpt start ends dos|--vm virtio-blk $disk --start gpt $sfdisk32 --setup 'mkfs.fat -F 32 /dev/sssd1' --check pwd --check \$'echo one\\necho two'|label: gpt ; label: dos ; /dev/sssd1 : start=          63, size=      822528, type=c, bootable ; == boot sector of partition 1 at sector 63 (before -> after) ; hidden sectors (28-31): 63 -> 63 ; == check: pwd ; / ; == check: echo one echo two ; two
busy keeps 2048|--vm ide $disk --start dos --busy $sfdisk32|== partition 1 kept busy during the setup and dosprep: mounted ; /dev/sssd1 : start=          63, size=      822528, type=c, bootable ; == partition 1 as the kernel sees it: start 2048, size 2097152 ; warning: the table on the disk has start 63, *
ROWS

# A merged capture (2>&1) shows dosprep's streams in the order it wrote
# them: dd's statistics on standard error before its buffered trace.
expect "merged capture" "$("$SANDBOX" --binary "$BIN" --vm ide $disk -- --debug3 --write32 2>&1 </dev/null |
	sed -n '1p;7p')" "12+0 records in
###    Debug Mode 3  ###"

# The same steps on both machines: what the setup's mkfs.fat wrote and what
# dosprep then made of it read alike in a simulated run and on ide.
mk="$disk $sfdisk32 --setup 'mkfs.fat -F 32 /dev/sssd1' --report - -- --write32"
bootrows() { eval "\"\$SANDBOX\" --binary \"\$BIN\" $1 $mk" 2>/dev/null | sed -n '/^== boot sector/,/^drive number/p'; }
expect "boot sector rows as simulated" "$(bootrows '--vm ide')" "$(bootrows '')"

# A signal stops the VM at once: vm-run ends within 2 s of it, with 130
# (INT to its process group, as a terminal's Ctrl-C sends it) or 143 (TERM
# to it alone), says nothing, and leaves no QEMU and no work directory. The
# guest's setup would take a minute.
for sig in INT TERM; do
	d=$WORK/stop-$sig
	mkdir -p "$d/payload/steps" "$d/tmp" && echo 'sleep 60' >"$d/payload/steps/setup.1" &&
		cp "$SRC/sandbox/lib/steps.sh" "$d/payload/" && echo apart >"$d/payload/capture" &&
		echo 63 >"$d/payload/fallback_sector" && truncate -s 64M "$d/disk.img"
	set -m # its own process group, where INT is not ignored
	TMPDIR=$d/tmp "$SRC/sandbox/vm/vm-run" --driver ide --disk "$d/disk.img" --binary "$BIN" \
		--payload "$d/payload" --out "$d/out" </dev/null >"$d/said" 2>&1 &
	pid=$!
	set +m
	for ((i = 0; i < 1200; i++)); do pgrep -f "file=$d/disk.img," >/dev/null && break; sleep 0.1; done
	sleep 2
	[[ $sig == INT ]] && kill -INT -- "-$pid" || kill -TERM "$pid"
	t0=$(date +%s%N)
	wait "$pid"
	got="status $?" ms=$((($(date +%s%N) - t0) / 1000000))
	((ms < 2000)) && got+=" in time" || got+=" after $ms ms"
	got+=", said '$(cat "$d/said")', qemu left: $(pgrep -f "file=$d/disk.img," | wc -l), temporary files: $(ls -A "$d/tmp" | wc -l)"
	expect "$sig stops the VM" "$got" "status $((128 + $(kill -l $sig))) in time, said '', qemu left: 0, temporary files: 0"
done

# Refused before anything runs: options | message
while IFS='|' read -r opts want; do
	eval "set -- $opts"
	msg=$("$SANDBOX" --binary "$BIN" "$@" 2>&1)
	expect "refuses $opts" "$?: $msg" "125: dosprep-sandbox: $want"
done <<'ROWS'
--busy|--busy: only with --vm
--vm ide --busy|--busy: wants --start dos or gpt (an old partition 1 to keep mounted)
--vm ide --disk /dev/sdx|--disk: makes no sense with --vm (the VM's kernel makes the disk's nodes and geometry)
--vm ide --kernel /dev|--kernel: /dev: not a kernel image or a Debian kernel package
ROWS
echo junk >"$WORK/junk.deb"
expect "refuses a junk package" "$("$SANDBOX" --binary "$BIN" --vm ide --kernel "$WORK/junk.deb" 2>&1; echo "status $?")" \
	"dosprep-sandbox: --kernel: cannot unpack $WORK/junk.deb: error: '$WORK/junk.deb' is not a Debian format archive
status 125"
finish
