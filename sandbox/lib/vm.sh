# The run on a real kernel (--vm DRIVER), for lib/inside: the disk image and
# /root/vantor made as for a simulated run go into a QEMU VM (vm/vm-run),
# whose kernel drives the disk through DRIVER; what the guest recorded comes
# back into .sandbox/vm, and the report reads it beside the disk image.

vm_out=$S/.sandbox/vm # what the guest recorded (vm-run's out directory)

# What the guest recorded in NAME: read only from a regular file (vm/results
# makes nothing else; a name missing fails).
vm_read() { # NAME
	[[ -f $vm_out/$1 && ! -L $vm_out/$1 ]] && cat -- "$vm_out/$1"
}

vm_payload() { # DOSPREP-ARGS...: the payload directory vm-run takes
	local p=$S/.sandbox/payload
	mkdir -p "$p" && cp -R -- "$S/vantor" "$p/vantor" || die "cannot make the VM's payload"
	{ ((${#setups[@]} == 0)) || printf '%s\n' "${setups[@]}"; } >"$p/setup" &&
		{ ((${#checks[@]} == 0)) || printf '%s\n' "${checks[@]}"; } >"$p/check" &&
		{ (($# == 0)) || printf '%s\n' "$@"; } >"$p/args" || die "cannot make the VM's payload"
	# Standard output and error are one file or pipe (2>&1): dosprep's two
	# streams come back as one, in the order it wrote them.
	if [[ /proc/self/fd/1 -ef /proc/self/fd/2 ]]; then : >"$p/merged"; fi
}

# The guest's command outputs under the names lib/inside keeps them by, so
# that the report's command sections read them alike.
vm_commands() { # WHAT
	local n=1
	while [[ -e $vm_out/$1.$n.status ]]; do
		vm_read "$1.$n.out" >"$S/.sandbox/$1.$n.log" &&
			vm_read "$1.$n.status" >"$S/.sandbox/$1.$n.status" || die "cannot read the VM's results"
		n=$((n + 1))
	done
}

vm_setup_failed() { # the last setup command ran and failed: as lib/inside says it
	local n=1
	while [[ -e $vm_out/setup.$((n + 1)).status ]]; do n=$((n + 1)); done
	printf '%s: setup command failed (status %s): %s\n' "$prog" "$(vm_read "setup.$n.status")" \
		"${setups[n - 1]}" >&2
	vm_read "setup.$n.out" >&2
	exit 125
}

# With --boot: a setup command that made a new file system on partition 1
# took the file the sample boot programs load with it; it goes back on, on
# this side, after the VM (the note says so in the report).
vm_boot_files_again() { # IDENTITY-BEFORE
	local part
	part=$(partition1)
	[[ $part != none && $(vm_identity) != "$1" ]] || return 0
	MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part%% *} * 512))" >/dev/null 2>&1 || return 0
	MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part%% *} * 512))" "::$boot_file" >/dev/null 2>&1 &&
		return 0
	place_files "$S/disk.img" $part
	echo "the sandbox put $boot_file back on the new file system of partition 1, for the boot check" \
		>"$S/.sandbox/vm.note"
}

vm_identity() { # partition 1 as the table has it, and a digest of its first sector
	local part
	part=$(partition1)
	echo "$part $(dd if="$S/disk.img" bs=512 skip="${part%% *}" count=1 status=none 2>/dev/null | sha256sum)"
}

# The report's first lines: the kernel, the boot disk's node and driver, the
# geometry HDIO_GETGEO gave dosprep, and whether dosprep came into the VM as
# a static program or with the host's C library.
vm_heading() {
	echo "== kernel $(vm_read kernel), boot disk on $vm as $boot, HDIO_GETGEO $(vm_read geometry)"
	[[ -z $(vm_read busy) ]] || echo "== partition 1 kept busy during the setup and dosprep: $(vm_read busy)"
	if static_program "$binary"; then
		echo "== dosprep: statically linked"
	else
		echo "== dosprep: dynamically linked (the host's C library went into the VM)"
	fi
}

# Partition 1 as the kernel saw it after dosprep, and a warning when the
# table on the disk says otherwise: the kernel kept its old partition (it
# could not re-read the table), and /dev/sssd1 still led there.
vm_kernel_view() {
	local kernel disk
	kernel=$(vm_read part1) disk=$(partition1)
	if [[ $kernel == none ]]; then
		echo "== partition 1 as the kernel sees it: none"
	else
		echo "== partition 1 as the kernel sees it: start ${kernel% *}, size ${kernel#* }"
	fi
	[[ $kernel == "$disk" ]] && return
	[[ $disk == none ]] && disk="no partition 1" || disk="start ${disk% *}, size ${disk#* }"
	echo "warning: the table on the disk has $disk: the kernel did not take the new table," \
		"and what went to /dev/sssd1 went to the kernel's partition 1"
}

vm_main() { # DOSPREP-ARGS...
	local opts=() was part
	vm_payload "$@"
	/usr/sbin/sfdisk --dump "$S/disk.img" >"$S/.sandbox/table.raw" 2>&1
	vantor_snapshot "$S/vantor" >"$S/.sandbox/vantor.before"
	boot_fields "$(partition1_start)" >"$S/.sandbox/boot.before"
	was=$(vm_identity)
	# virtio-blk hands the kernel the geometry of the device; the disks on
	# ATA and SCSI are given one the kernel never reads (sd makes its own).
	[[ $vm != virtio-blk ]] || opts+=(--geometry "$heads/$spt/$cylinders")
	((busy)) && opts+=(--busy)
	[[ -z $kernel_file ]] || opts+=(--kernel "$kernel_file")
	[[ -z $modules_dir ]] || opts+=(--modules "$modules_dir")
	"$vm_tools/vm-run" --driver "$vm" --disk "$S/disk.img" --binary "$binary" --geoprobe "$geoprobe" \
		--payload "$S/.sandbox/payload" --out "$vm_out" --timeout 600 "${opts[@]}" || exit 125
	case $(vm_read complete) in
	ok) ;;
	"setup failed") vm_setup_failed ;;
	*) die "the VM found no boot disk on $vm (console: $vm_out/console.log, with --keep)" ;;
	esac
	boot=/dev/$(vm_read node)
	vm_read geometry >"$S/geometry" # what the kernel's driver answered, for --keep
	vm_commands setup
	vm_commands check
	if [[ -e $vm_out/dosprep.out ]]; then
		vm_read dosprep.out
	else
		vm_read dosprep.stdout
		vm_read dosprep.stderr >&2
	fi
	rc=$(vm_read dosprep.status) && [[ $rc =~ ^[0-9]{1,3}$ ]] && ((rc <= 255)) || rc=125
	echo "$rc" >"$out/rc"
	((want_boot)) && vm_boot_files_again "$was"

	# fsck.fat and the FAT checks read partition 1 (as the table has it) from a copy.
	part=$(partition1)
	[[ $part == none ]] || { copy_into_file $part && part_dev=$S/partition.img; } ||
		die "cannot copy partition 1"
	[[ ! -f $vm_out/boot.before || -L $vm_out/boot.before ]] ||
		boot_fields 0 "$vm_out/boot.before" >"$S/.sandbox/boot.before"
	png=''
	[[ -z $keep ]] || { png=$out/keep/boot-screen.png && mkdir -p "$out/keep"; }
	if ((want_report)); then
		partition_table "$S/disk.img" "$S/.sandbox/table.raw" >"$S/.sandbox/table.before"
		write_report
		[[ ! -e $S/.sandbox/vm.note ]] || cat "$S/.sandbox/vm.note"
		((want_boot)) && boot_section "$S/disk.img" "$png"
		command_sections check "${checks[@]}" >>"$out/check.out"
	else
		command_output check >>"$out/check.out"
		((want_boot)) && boot_section "$S/disk.img" "$png" >>"$out/check.out"
	fi >"$out/report"
	exit "$rc"
}
