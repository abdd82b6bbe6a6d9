# The faults of --vm runs, for lib/inside: what --power-cut and --io-error
# share (the start disk kept aside, simulated reruns of the same steps, the
# names of the disk's places, the guest's per-step counters) and --io-error
# itself: blkdebug's rules, and what the steps met. The cuts: power-cut.sh.

faults_dir=$S/.sandbox/faults
fault_log='' fault_blkdebug='' io_names=''

# The options of a run of the same steps from the disk image START with
# the geometry GEO, into the array rerun: simulated, or with "vm" on this
# run's driver and kernel.
rerun_options() { # START GEO [vm]
	local c
	rerun=(--binary "$binary" --start "$1" --geometry "$2" --size "$size")
	if ((raw_set)); then rerun+=(--ssprimary-raw "$ssprimary_raw"); else rerun+=(--controller "$controller"); fi
	[[ -z $vantor_dir ]] || rerun+=(--vantor "$vantor_dir")
	for c in "${setups[@]}"; do rerun+=(--setup "$c"); done
	for c in "${afters[@]}"; do rerun+=(--after "$c"); done
	[[ ${3-} == vm ]] || { rerun+=(--preload "$preload" --argv0 "$argv0") && return 0; }
	rerun+=(--vm "$vm")
	((!busy)) || rerun+=(--busy)
	[[ -z $kernel_file ]] || rerun+=(--kernel "$kernel_file")
	[[ -z $modules_dir ]] || rerun+=(--modules "$modules_dir")
}

# One run: its disk and report kept in DIR (DIR/disk.img, DIR/report), its
# messages in DIR.err, its status in DIR.status.
rerun_into() { # DIR START GEO [vm] -- DOSPREP-ARGS...
	local dir=$1
	rerun_options "$2" "$3" "${4#--}"
	shift 3
	[[ $1 == -- ]] || shift
	shift
	TMPDIR=$faults_dir/tmp "$sandbox_cmd" "${rerun[@]}" --keep "$dir" --report "$dir.report" -- "$@" \
		</dev/null >/dev/null 2>"$dir.err"
	echo $? >"$dir.status"
}

# Partition 1's layout in IMAGE: lay_start, lay_size (0: none), and of its
# FAT file system (lay_fat 0: none) the reserved sectors, the FATs' first
# sector and count of sectors, and the backup boot area's first sector.
read_layout() { # IMAGE
	local p name value
	lay_start=0 lay_size=0 lay_fat=0 lay_reserved=0 lay_fats=0 lay_fat_size=0 lay_backup=0
	p=$(partition1 "$1")
	[[ $p != none ]] || return 0
	lay_start=${p% *} lay_size=${p#* }
	declare -A f=()
	while read -r name _ value; do f[$name]=$value; done < <("$diskbytes" boot "$1" "$lay_start" 2>/dev/null)
	[[ ${f[signature]-} == "55 aa" && ${f[bytes_per_sector]-} == 512 ]] || return 0
	lay_reserved=${f[reserved_sectors]-0} lay_fats=${f[number_of_fats]-0}
	lay_fat_size=${f[sectors_per_fat16]-0}
	((lay_fat_size)) || lay_fat_size=${f[sectors_per_fat32]-0} lay_backup=${f[backup_boot_sector]-0}
	((lay_reserved && lay_fats && lay_fat_size)) && lay_fat=1
	return 0
}

# What the sectors A to B hold in the layout read_layout read: "MBR", "boot
# area of partition 1 sector 0-5", "backup boot area sector 0-5", "FAT 1",
# "data"..., the pieces joined by ", ".
sector_names() { # A B
	local s=$1 end name first last out='' p=$lay_start
	piece_ends=() # where each piece ends, for the cuts inside a write
	while ((s <= $2)); do
		first=-1
		if ((s == 0)); then
			name=MBR end=0
		elif ((s < p || !lay_size)); then
			name="before partition 1" end=$((lay_size ? p - 1 : $2))
		elif ((s >= p + lay_size)); then
			name="after partition 1" end=$2
		elif ((!lay_fat)); then
			name="partition 1" end=$((p + lay_size - 1))
		elif ((s < p + 6 && s < p + lay_reserved)); then
			name="boot area of partition 1" first=$p end=$((p + 5))
		elif ((lay_backup && s >= p + lay_backup && s < p + lay_backup + 6)); then
			name="backup boot area" first=$((p + lay_backup)) end=$((p + lay_backup + 5))
		elif ((s < p + lay_reserved)); then
			name="reserved sectors of partition 1" end=$((p + lay_reserved - 1))
			((!lay_backup || s >= p + lay_backup)) || end=$((p + lay_backup - 1))
		elif ((s < p + lay_reserved + lay_fats * lay_fat_size)); then
			local k=$(((s - p - lay_reserved) / lay_fat_size))
			name="FAT $((k + 1))" end=$((p + lay_reserved + (k + 1) * lay_fat_size - 1))
		else
			name=data end=$((p + lay_size - 1))
		fi
		((end <= $2)) || end=$2
		last=$end
		piece_ends+=("$end")
		if ((first >= 0 && last > s)); then
			name+=" sector $((s - first))-$((last - first))"
		elif ((first >= 0)); then
			name+=" sector $((s - first))"
		fi
		out+="${out:+, }$name"
		s=$((end + 1))
	done
	echo "$out"
}

# The steps in the order the guest's counters (record: iostat) name them,
# each as the report names it: "setup 2: CMD", "dosprep", "after 1: CMD".
step_label() { # MARK (setup.2, dosprep.0, after.1, check.1)
	local what=${1%.*} n=${1#*.}
	case $what in
	dosprep) echo dosprep ;;
	*) echo "$what $n: $(head -n 1 "$rec/$1.cmd" 2>/dev/null)" ;;
	esac
}

faults_before_vm() { # DOSPREP-ARGS...
	mkdir -p "$faults_dir/tmp" || die "cannot make the faults' work directory"
	cp --sparse=always -- "$S/disk.img" "$faults_dir/start.img" || die "cannot keep the start disk"
	if [[ -n $power_cut ]]; then
		fault_log=$faults_dir/writes.log
		: >"$fault_log" || die "cannot make the write log"
	else
		io_error_rules "$@"
	fi
}

# --io-error: WHERE as sectors (a name from the disk a simulated run of the
# same steps leaves), and blkdebug's rules: EIO on each sector, for reads,
# writes or both.
io_error_rules() { # DOSPREP-ARGS...
	local where=${io_error%:*} types='read write' t s
	[[ $io_error != *:* ]] || types=${io_error##*:}
	if [[ $where =~ ^[0-9]+(-[0-9]+)?$ ]]; then
		io_first=$((10#${where%-*})) io_last=$((10#${where#*-}))
	else
		rerun_into "$faults_dir/layout" "$faults_dir/start.img" "$heads/$spt/$cylinders" -- "$@"
		[[ $(<"$faults_dir/layout.status") != 125 ]] ||
			die "--io-error $where: a simulated run to find it failed: $(head -n 3 "$faults_dir/layout.err")"
		read_layout "$faults_dir/layout/disk.img"
		case $where in
		mbr) io_first=0 io_last=0 ;;
		boot-sector) ((lay_size)) || die "--io-error $where: the steps leave no partition 1"
			io_first=$lay_start io_last=$lay_start ;;
		*) ((lay_fat)) || die "--io-error $where: the steps leave no FAT file system on partition 1"
			[[ $where == fat ]] || ((lay_backup)) || die "--io-error $where: partition 1's FAT has no backup boot sector"
			io_first=$((lay_start + lay_backup)) io_last=$io_first
			[[ $where != fat ]] || io_first=$((lay_start + lay_reserved)) io_last=$((io_first + lay_fats * lay_fat_size - 1)) ;;
		esac
		io_names=$(sector_names "$io_first" "$io_last")
	fi
	io_types=$types
	fault_blkdebug=$faults_dir/blkdebug.conf
	for ((s = io_first; s <= io_last; s++)); do
		for t in $types; do
			printf '[inject-error]\nevent = "%s_aio"\niotype = "%s"\nerrno = "5"\nsector = "%d"\n\n' "$t" "$t" "$s"
		done
	done >"$fault_blkdebug" || die "cannot write the I/O error rules"
}

# The guest's counters, per step: mark_names (start, setup.1, ... in order)
# and for each mark the I/O errors so far (all, of writes) and the sectors
# the boot disk completed writing (and discarding) so far. Sectors, not
# requests: the kernel counts an empty flush (REQ_PREFLUSH) as a write
# request, and QEMU logs no flush when nothing was written since the last.
read_marks() {
	local name errs werrs f
	mark_names=() mark_errs=() mark_werrs=() mark_writes=()
	while read -r name errs werrs f; do
		read -ra f <<<"$f"
		mark_names+=("$name") mark_errs+=("$errs") mark_werrs+=("$werrs") mark_writes+=($((f[6] + ${f[13]:-0})))
	done <"$rec/iostat"
}

# --io-error's section: where the errors were injected, and per step what
# the kernel said; a warning when dosprep ended with 0 while its writes failed.
io_error_section() {
	local i d w first types=${io_types// /s and }s where="sectors $io_first-$io_last"
	((io_first < io_last)) || where="sector $io_first"
	echo "== I/O errors injected at $where${io_names:+ ($io_names)}: $types fail with EIO"
	read_marks
	for ((i = 0; i < ${#mark_names[@]}; i++)); do
		d=$((mark_errs[i] - (i ? mark_errs[i - 1] : 0))) w=$((mark_werrs[i] - (i ? mark_werrs[i - 1] : 0)))
		((d)) || continue
		first=$(sed -n "$((d == mark_errs[i] ? 1 : mark_errs[i - 1] + 1))p" "$rec/ioerrors" | sed 's/^\[[ 0-9.]*\] //')
		((i)) && where=$(step_label "${mark_names[i]}") || where="before the steps (the kernel's own reads)"
		echo "$where: $d I/O errors, $w of them writes; the first: $first"
		if [[ ${mark_names[i]} == dosprep.0 ]] && ((w)) && [[ $(<"$rec/dosprep.status") == 0 ]]; then
			echo "warning: dosprep ended with status 0, but $w of its writes failed"
		fi
	done
	((mark_errs[-1])) || echo "no step met an I/O error"
}
