# The run on a real kernel (--vm DRIVER), for lib/inside: the disk image and
# /root/vantor made as for a simulated run go into a QEMU VM (vm/vm-run),
# whose kernel drives the disk through DRIVER and whose init runs the steps
# of lib/steps.sh; the record they leave comes back into $rec as plain
# files (vm/results), and the report reads it as it reads a simulated one.

# The payload vm-run takes: /root/vantor, the commands, dosprep's arguments
# one file each, the steps, and how dosprep's output is to come back.
vm_payload() { # DOSPREP-ARGS...
	local p=$S/.sandbox/payload i capture=apart
	mkdir -p "$p/args" && cp -R -- "$S/vantor" "$p/vantor" && cp -R -- "$steps_in" "$p/steps" &&
		cp -- "$lib/steps.sh" "$p/steps.sh" && echo "$premade_start" >"$p/fallback_sector" ||
		die "cannot make the VM's payload"
	for ((i = 1; i <= $#; i++)); do
		printf '%s' "${!i}" >"$p/args/$i" || die "cannot make the VM's payload"
	done
	# Standard output and error are one file or pipe (2>&1): dosprep's two
	# streams come back as one, in the order it wrote them.
	[[ ! /proc/self/fd/1 -ef /proc/self/fd/2 ]] || capture=merged
	echo "$capture" >"$p/capture"
}

# With --boot: a setup command that made a new file system on partition 1
# took the file the sample boot programs load with it; it goes back on, on
# this side, after the VM, and the note goes under that command.
vm_boot_files_again() {
	local part n=1 last=''
	while [[ -f $rec/setup.$n.status ]]; do
		[[ ! -f $rec/setup.$n.newfs ]] || last=$n
		n=$((n + 1))
	done
	part=$(partition1)
	[[ -n $last && $part != none ]] || return 0
	MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part%% *} * 512))" >/dev/null 2>&1 || return 0
	MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part%% *} * 512))" "::$boot_file" >/dev/null 2>&1 &&
		return 0
	place_files "$S/disk.img" $part
	boot_file_note >"$rec/setup.$last.note"
}

# The guest waited 30 s for a boot disk and saw none: the controllers the
# kernel registered (its "scsi hostN:" lines) tell a driver that found its
# controller and no disk on it from one that found nothing.
no_boot_disk() {
	local hosts
	hosts=$(sed -n 's/^\[[ 0-9.]*\] \(scsi host[0-9]*: .*\)/\1/p' -- "$rec/dmesg" 2>/dev/null | head -n 4 |
		LC_ALL=C tr -cd '[:print:]\n' | cut -c 1-160 | paste -sd ';')
	[[ -z $hosts ]] || die "--vm $vm: the kernel found the controller but no disk on it within 30 s" \
		"(${hosts//;/; }); its messages: vm/dmesg with --keep"
	die "--vm $vm: the kernel found no disk within 30 s; its messages: vm/dmesg, the console: vm/console.log with --keep"
}

# A fleet's model hands its disk to the fleet's VM for its driver (lib/
# fleet.sh, DOSPREP_SANDBOX_VM_BATCH: a directory of its own), which runs it
# with the other models' disks in one kernel: the disk, the payload and
# vm-run's arguments go there, "ready" says so, and the fleet's "status"
# (vm-run's) and "err" come back with the disk and the results.
vm_batch() { # VM-RUN ARGS -- DISK-ARGS
	local b=$DOSPREP_SANDBOX_VM_BATCH i status
	[[ -d $b && ! -L $b && -z $(ls -A -- "$b") ]] || die "DOSPREP_SANDBOX_VM_BATCH $b: not the empty directory a fleet makes"
	cp --sparse=always -- "$S/disk.img" "$b/disk.img" &&
		cp -R -- "$S/.sandbox/payload" "$b/payload" && mkdir -p "$b/out" || die "cannot hand the disk to the fleet's VM"
	printf '%s\0' "$@" >"$b/args" && : >"$b/ready" || die "cannot hand the disk to the fleet's VM"
	for ((i = 0; i < 18000; i++)); do
		[[ ! -f $b/status ]] || break
		sleep 0.1
	done
	status=$(cat -- "$b/status" 2>/dev/null) || die "the fleet's VM did not answer within 30 minutes"
	[[ ! -s $b/err ]] || cat -- "$b/err" >&2
	((status == 0)) || return "$status"
	mkdir -p "$rec" && cp -- "$b"/out/* "$rec/" && cp --sparse=always -- "$b/disk.img" "$S/disk.img" ||
		die "cannot take the disk back from the fleet's VM"
	rm -rf -- "$b/disk.img" "$b/payload" "$b/out"
}

vm_run() { # DOSPREP-ARGS...
	local opts=() disk=() part status
	vm_payload "$@"
	# vm-run gives the geometry to the disk device where the driver table
	# says the kernel reads it there.
	disk=(--disk "$S/disk.img" --payload "$S/.sandbox/payload" --out "$rec" --geometry "$heads/$spt/$cylinders")
	((busy)) && disk+=(--busy)
	# The disk's write log (--power-cut), or its I/O error rules (--io-error):
	# lib/faults.sh.
	[[ -z ${fault_log-} ]] || disk+=(--log "$fault_log")
	[[ -z ${fault_blkdebug-} ]] || disk+=(--blkdebug "$fault_blkdebug")
	opts=(--driver "$vm" --binary "$binary" --geoprobe "$geoprobe" --timeout 600)
	[[ -z $kernel_file ]] || opts+=(--kernel "$kernel_file")
	[[ -z $modules_dir ]] || opts+=(--modules "$modules_dir")
	if [[ -n ${DOSPREP_SANDBOX_VM_BATCH-} ]]; then
		vm_batch "$vm_tools/vm-run" "${opts[@]}" -- "${disk[@]:6}"
	else
		"$vm_tools/vm-run" "${opts[@]}" "${disk[@]}"
	fi
	status=$?
	((status == 0)) || exit $((status == 130 || status == 143 ? status : 125))
	case $(cat -- "$rec/complete" 2>/dev/null) in
	ok) ;;
	failed) command_failed ;;
	*) no_boot_disk ;;
	esac
	boot=$(<"$rec/boot.node")
	cp -- "$rec/geometry" "$S/geometry" # what the kernel's driver answered, for --keep
	if static_program "$binary"; then
		echo "statically linked"
	else
		echo "dynamically linked (the host's C library went into the VM)"
	fi >"$rec/linkage"
	[[ ! -f $rec/dosprep.out ]] || cat -- "$rec/dosprep.out"
	[[ ! -f $rec/dosprep.stdout ]] || cat -- "$rec/dosprep.stdout"
	[[ ! -f $rec/dosprep.stderr ]] || cat -- "$rec/dosprep.stderr" >&2
	[[ $(<"$rec/dosprep.status") =~ ^[0-9]{1,3}$ ]] && (($(<"$rec/dosprep.status") <= 255)) ||
		echo 125 >"$rec/dosprep.status"
	((want_boot)) && vm_boot_files_again
	# fsck.fat and the FAT checks read partition 1 (as the table has it) from a copy.
	part=$(partition1)
	[[ $part == none ]] || { copy_into_file $part && part_dev=$S/partition.img; } ||
		die "cannot copy partition 1"
}
