# --power-cut, for lib/inside after the VM: the write log names each write
# (and flush) of the steps by the guest's per-step counters; at each cut the
# disk as it stood then is rebuilt, the same steps rerun on it (on the same
# driver and kernel, several disks a VM), and each end compared with the
# undisturbed run's disk.

# What is compared, from IMAGE and the fsck section FSCK: sector 0 without
# partition 1's entry and the disk identifier, that entry, partition 1's
# boot area and backup (6 sectors each, the volume ID left out: sfdisk and
# mkfs.fat make new ones each time),
# fsck.fat's words; then "key", which tells results apart for the boot.
compare_lines() { # IMAGE FSCK-FILE
	local p start=0 size=0 id=39 what tmp=$2.sectors
	p=$(partition1 "$1")
	[[ $p == none ]] || start=${p% *} size=${p#* }
	# The disk identifier at byte 440 left out: a new table gets a new one.
	echo "mbr $({ head -c 440 "$1" && dd if="$1" bs=2 skip=222 count=1 status=none &&
		dd if="$1" bs=2 skip=231 count=25 status=none; } | sha256sum | cut -c 1-16)"
	echo "entry $p"
	[[ $("$diskbytes" field "$1" sectors_per_fat16 "$start" 2>/dev/null) != 0 ]] || id=67
	for what in boot:0 backup:6; do
		: >"$tmp"
		((!size)) || dd if="$1" of="$tmp" bs=512 skip=$((start + ${what#*:})) count=6 status=none
		dd if=/dev/zero of="$tmp" bs=1 seek="$id" count=4 conv=notrunc status=none
		echo "${what%:*} $(sha256sum <"$tmp" | cut -c 1-16)"
	done
	rm -f -- "$tmp"
	echo "fsck $(sha256sum <"$2" | cut -c 1-16)"
	echo "verdict $(tail -n 1 "$2")"
}

# The fsck section of a report, as lib/report.sh makes it.
fsck_of_report() { # REPORT
	sed -n '/^== fsck.fat -n/,/^== /{/^== /d;p}' "$1"
}

# The differences of a result from the undisturbed one, as words.
differences() { # REF-LINES RESULT-LINES
	local -A r=() t=()
	local name value diffs=()
	while read -r name value; do r[$name]=$value; done <"$1"
	while read -r name value; do t[$name]=$value; done <"$2"
	[[ ${r[mbr]} == "${t[mbr]}" ]] || diffs+=("the MBR")
	[[ ${r[entry]} == "${t[entry]}" ]] || diffs+=("partition 1 ($(entry_words "${r[entry]}") -> $(entry_words "${t[entry]}"))")
	[[ ${r[boot]} == "${t[boot]}" ]] || diffs+=("its boot area")
	[[ ${r[backup]} == "${t[backup]}" ]] || diffs+=("its backup boot area")
	# fsck: its verdicts, or when they agree, the first words of the result's
	# that the undisturbed one did not say.
	if [[ ${r[fsck]} != "${t[fsck]}" && ${r[verdict]} != "${t[verdict]}" ]]; then
		diffs+=("fsck (${r[verdict]} -> ${t[verdict]})")
	elif [[ ${r[fsck]} != "${t[fsck]}" ]]; then
		value=$(grep -vxF -f "${1%.lines}.fsck" -- "${2%.lines}.fsck" 2>/dev/null | head -n 1)
		diffs+=("fsck (${t[verdict]}${value:+: \"$value\"})")
	fi
	local words='' w
	for w in "${diffs[@]}"; do words+="${words:+, }$w"; done
	echo "$words"
}
entry_words() { [[ $1 == none ]] && echo none || echo "start ${1% *}, size ${1#* }"; }

# One cut's disk: as it stood after log entry K (the base disk, when K is
# the base's last entry), or with only the first M sectors of write K out
# (K-M), in cut.K[-M].img.
cut_image() { # K[-M]
	local k=${1%-*} m=() d=$faults_dir/cut.$1
	[[ $1 != *-* ]] || m=("${1#*-}")
	cp --sparse=always -- "$faults_dir/base.img" "$d.img" &&
		{ ((k == cut_base)) || "$diskbytes" replay "$fault_log" "$d.img" $((cut_base + 1)) "$k" "${m[@]}"; } && return
	echo "the disk of this cut could not be made" >"$d.err" && echo 125 >"$d.status"
	rm -f -- "$d.img"
	return 1
}

# What the steps' writes left in a cut's disk: the sectors of every write
# of the log, as a digest. Cuts with the same one start from the same disk.
written_key() { # IMAGE
	local i
	for ((i = 1; i <= cut_last; i++)); do
		[[ ${e_kind[i]} != write ]] || dd if="$1" bs=512 skip="${e_sector[i]}" count="${e_count[i]}" status=none
	done | sha256sum | cut -c 1-16
}

# The cuts' disks, and of those that start alike the first (rep[K]); its
# rerun stands for them all.
cut_images() { # CUT...
	local k key
	local -A first=()
	for k in "$@"; do
		cut_image "$k" || continue
		key=$(written_key "$faults_dir/cut.$k.img")
		if [[ -n ${first[$key]-} ]]; then
			rep[$k]=${first[$key]}
			rm -f -- "$faults_dir/cut.$k.img"
		else
			first[$key]=$k rep[$k]=$k
		fi
	done
}

# One cut's rerun from its disk, and what is compared.
cut_job() { # K[-M] DOSPREP-ARGS...
	local d=$faults_dir/cut.$1
	shift
	rerun_into "$d" "$d.img" "$heads/$spt/$cylinders" vm -- "$@"
	rm -f -- "$d.img"
	[[ -f $d/disk.img && -f $d.report ]] || return 0
	fsck_of_report "$d.report" >"$d.fsck"
	compare_lines "$d/disk.img" "$d.fsck" >"$d.lines"
	echo "key $( (grep -v '^verdict' "$d.lines" && tail_sectors "$d/disk.img") | sha256sum | cut -c 1-16)" >>"$d.lines"
}
tail_sectors() { # IMAGE: partition 1's sectors 12 to 8191 (FATs, root directory), for the key
	local p
	p=$(partition1 "$1")
	[[ $p == none ]] || dd if="$1" bs=512 skip=$((${p% *} + 12)) count=8180 status=none
}

# The boot of one result (with the sample's file put back when partition 1
# holds a FAT file system without it), in a directory of its own: "booted"
# or "did not boot" into DIR.verdict.
boot_job() { # DIR IMAGE
	local S=$1 part
	mkdir -p "$S/.sandbox" && cp --sparse=always -- "$2" "$S/disk.img" || return
	part=$(partition1 "$S/disk.img")
	if [[ $part != none ]] && MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part% *} * 512))" >/dev/null 2>&1 &&
		! MTOOLS_SKIP_CHECK=1 mdir -i "$S/disk.img@@$((${part% *} * 512))" "::$boot_file" >/dev/null 2>&1; then
		(place_files "$S/disk.img" $part) >/dev/null 2>&1
	fi
	[[ $(boot_section "$S/disk.img" | tail -n 1) == booted ]] && echo booted >"$1.verdict" ||
		echo "did not boot" >"$1.verdict"
	rm -f -- "$S/disk.img"
}

# Runs JOB ARGS... for each of the words of LIST, two at a time.
two_at_a_time() { # LIST JOB ARGS...
	local w list=$1 running=0
	shift
	for w in $list; do
		"$1" "$w" "${@:2}" &
		((++running < 2)) || { wait -n; running=$((running - 1)); }
	done
	wait
}

# The cuts' reruns, on this run's driver and kernel as the undisturbed run:
# in groups of as many disks as one VM takes (lib/fleet-vm.sh), each group
# one VM boot, two groups at a time.
rerun_cuts() { # CUT... -- DOSPREP-ARGS...
	local i per all=() chunks=()
	while [[ $1 != -- ]]; do all+=("$1") && shift; done
	shift
	per=$(vm_disks "$vm" 14) && ((per >= 1)) || return
	for ((i = 0; i < ${#all[@]}; i += per)); do chunks+=("${all[*]:i:per}"); done
	mkdir -p "$faults_dir/vm" || return
	two_at_a_time "${!chunks[*]}" chunk_job "$@"
}
chunk_job() { # N DOSPREP-ARGS...: the cuts of chunks[N]
	local k
	for k in ${chunks[$1]}; do
		mkdir -p "$faults_dir/vm/$k" &&
			(export DOSPREP_SANDBOX_VM_BATCH=$faults_dir/vm/$k && cut_job "$k" "${@:2}"; : >"$faults_dir/vm/$k.done") &
	done
	group_vm "$faults_dir/vm" "@$1" - ${chunks[$1]}
	wait
}

# The log's entries by step: e_kind, e_sector, e_count and e_step (the
# mark's index, 0 for what came before the steps) of entries 1 to E. The
# guest counted the sectors written by each step, once they were out: the
# log's writes, summed in order, fall into the steps exactly; a flush goes
# with the write before it.
attribute_entries() {
	local n kind sector count w=0 j=0
	e_kind=('') e_sector=('') e_count=('') e_step=('')
	while read -r n kind sector count; do
		[[ $kind == flush || $kind == mark ]] || w=$((w + count))
		while ((j < ${#mark_writes[@]} && w > mark_writes[j])); do j=$((j + 1)); done
		e_kind+=("$kind") e_sector+=("$sector") e_count+=("$count") e_step+=("$j")
	done <"$faults_dir/entries"
	log_writes=$w
}

power_cut_section() { # DOSPREP-ARGS...
	local i k f unit=write units=() cuts=() reps=() n same=0 boots=0 line diff d key verdict
	local -A boot_dir=() ordinal=() rep=()
	[[ $power_cut == writes ]] || unit=flush
	read_marks
	"$diskbytes" writelog "$fault_log" >"$faults_dir/entries" 2>"$faults_dir/entries.err" || {
		echo "== power cut: the write log cannot be read: $(head -n 1 "$faults_dir/entries.err")"
		return
	}
	attribute_entries
	# The steps' marks: setup, dosprep and --after; the checks come after.
	cut_base=0 cut_last=0
	for ((i = 1; i < ${#e_kind[@]}; i++)); do
		((e_step[i] > 0)) || { cut_base=$i && continue; }
		[[ ${mark_names[e_step[i]]-check} != check.* ]] || break
		cut_last=$i
		[[ ${e_kind[i]} != "$unit" ]] || { units+=("$i") && ordinal[$i]=${#units[@]}; }
	done
	echo "== power cut at each of ${#units[@]} $power_cut"
	steps_writes_line
	cp --sparse=always -- "$faults_dir/start.img" "$faults_dir/base.img" &&
		{ ((cut_base == 0)) || "$diskbytes" replay "$fault_log" "$faults_dir/base.img" 1 "$cut_base"; } &&
		mkdir -p "$faults_dir/ref" && cp --sparse=always -- "$faults_dir/base.img" "$faults_dir/ref/disk.img" &&
		{ ((cut_last <= cut_base)) || "$diskbytes" replay "$fault_log" "$faults_dir/ref/disk.img" $((cut_base + 1)) "$cut_last"; } ||
		{ echo "the disks of the cuts could not be made"; return; }
	reference_lines
	read_layout "$faults_dir/ref/disk.img"
	for k in "${units[@]}"; do # inside each write, then after it
		[[ $unit != write ]] || for i in $(torn_points "$k"); do cuts+=("$k-$i"); done
		cuts+=("$k")
	done
	n=${#cuts[@]}
	[[ $unit != write ]] || echo "cut points: $n, after each write and inside it (after each sector of a write" \
		"of up to 16 sectors, where what a longer one covers changes)"
	cut_images "$cut_base" "${cuts[@]}"
	for k in "$cut_base" "${cuts[@]}"; do [[ ${rep[$k]-} != "$k" ]] || reps+=("$k"); done
	rerun_cuts "${reps[@]}" -- "$@"
	for k in "${!rep[@]}"; do # the others' outcome is their first's
		[[ ${rep[$k]} == "$k" ]] || for f in status err report fsck lines; do
			[[ ! -f $faults_dir/cut.${rep[$k]}.$f ]] || cp -- "$faults_dir/cut.${rep[$k]}.$f" "$faults_dir/cut.$k.$f"
		done
	done
	echo "reruns: ${#reps[@]}, one for each different disk the cuts leave"
	[[ ! -f $faults_dir/cut.$cut_base.lines ]] || diff=$(differences "$faults_dir/ref.lines" "$faults_dir/cut.$cut_base.lines")
	[[ -z ${diff-} ]] || echo "note: a rerun from the disk as the steps found it already ends differently: $diff"
	if ((want_boot)); then # each distinct result once
		for k in "${cuts[@]}"; do
			d=$faults_dir/cut.${rep[$k]-$k}
			[[ -f $d.lines ]] || continue
			key=$(sed -n 's/^key //p' "$d.lines")
			[[ -n ${boot_dir[$key]-} ]] || boot_dir[$key]=$d
		done
		local list=''
		for key in "${!boot_dir[@]}"; do list+=" ${boot_dir[$key]}"; done
		two_at_a_time "$list" boot_result
	fi
	for k in "${cuts[@]}"; do
		d=$faults_dir/cut.$k
		line=$(cut_outcome "$d")
		[[ $line == same* ]] && same=$((same + 1))
		if ((want_boot)) && [[ -f $d.lines ]]; then
			key=$(sed -n 's/^key //p' "$d.lines")
			verdict=$(cat "${boot_dir[$key]}.boot.verdict" 2>/dev/null || echo "did not boot")
			[[ $verdict == booted ]] && boots=$((boots + 1))
			line+="; $verdict"
		elif ((want_boot)); then
			line+="; did not boot"
		fi
		[[ $line == same* ]] || echo "$(cut_name "$k"): ${line#differs: }"
	done
	line="the rerun ends as an undisturbed run after $same of $n cuts"
	((!want_boot)) || line+="; it boots after $boots of $n"
	echo "$line"
	keep_faults
}

# --keep: DIR/faults/ holds the write log, its entries, and per cut the
# rerun's report and what was compared (cut.K.report, cut.K.lines).
keep_faults() {
	[[ -n $keep ]] || return 0
	mkdir -p "$out/keep/faults" &&
		cp -- "$faults_dir"/{writes.log,entries,ref.lines,ref.fsck} "$faults_dir"/cut.*.{report,lines,fsck,err,status} \
			"$out/keep/faults/" 2>/dev/null
	return 0
}
boot_result() { boot_job "$1.boot" "$1/disk.img"; }

# The reference: the disk the steps left (the log replayed to their last
# entry), fsck.fat's words of it as a report has them.
reference_lines() {
	local part
	part=$(partition1 "$faults_dir/ref/disk.img")
	(
		S=$faults_dir/ref part_dev=$faults_dir/ref/partition.img
		[[ $part == none ]] || copy_into_file $part
		fsck_verdict | grep -v '^== '
		rm -f -- "$part_dev"
	) >"$faults_dir/ref.fsck" 2>/dev/null
	compare_lines "$faults_dir/ref/disk.img" "$faults_dir/ref.fsck" >"$faults_dir/ref.lines"
}

# "same", or "differs: WHAT" of one cut's rerun.
cut_outcome() { # DIR
	local status diff
	status=$(cat "$1.status" 2>/dev/null || echo 125)
	if [[ $status == 125 || ! -f $1.lines ]]; then
		echo "differs: the rerun failed: $(grep -v '^$' "$1.err" | head -n 1 | sed 's/^dosprep-sandbox: //')"
		return
	fi
	diff=$(differences "$faults_dir/ref.lines" "$1.lines")
	[[ $status == "$(<"$rec/dosprep.status")" ]] || diff+="${diff:+, }dosprep's status $(<"$rec/dosprep.status") -> $status"
	[[ -n $diff ]] && echo "differs: $diff" || echo same
}

# How a cut point is named: the write (or the flush and the write before
# it), the step that made it, the sectors and what they hold.
cut_name() { # K[-M]
	local k=${1%-*} w=${1%-*} a b
	if [[ $1 == *-* ]]; then
		a=${e_sector[k]} b=$((e_sector[k] + ${1#*-} - 1))
		echo "write ${ordinal[$k]} ($(step_label "${mark_names[e_step[k]]}")) torn after ${1#*-} of its" \
			"${e_count[k]} sectors, $(span "$a" "$b") ($(sector_names "$a" "$b"))"
		return
	fi
	while ((w > 0)) && [[ ${e_kind[w]} != write ]]; do w=$((w - 1)); done
	a=${e_sector[w]} b=$((e_sector[w] + e_count[w] - 1))
	local where="no write yet"
	((w <= cut_base)) || where="sectors $(span "$a" "$b") ($(sector_names "$a" "$b"))"
	if [[ ${e_kind[k]} == write ]]; then
		echo "write ${ordinal[$k]} ($(step_label "${mark_names[e_step[k]]}")), $where"
	else
		echo "flush ${ordinal[$k]} ($(step_label "${mark_names[e_step[k]]}")), after ${where/#sectors/the write of sectors}"
	fi
}

span() { ((${1} == ${2})) && echo "$1" || echo "$1-$2"; }

# The cuts inside write K: how many of its sectors are out. Each sector of
# a write of up to 16 sectors, else where what the sectors hold changes.
torn_points() { # K
	local s=${e_sector[$1]} c=${e_count[$1]} m e
	if ((c <= 16)); then
		for ((m = 1; m < c; m++)); do echo "$m"; done
		return
	fi
	sector_names "$s" $((s + c - 1)) >/dev/null
	for e in "${piece_ends[@]}"; do ((e >= s + c - 1)) || echo $((e - s + 1)); done
}

# The steps' writes as the log has them, and whether the sectors the guest
# counted agree.
steps_writes_line() {
	local i j per='' writes sectors
	for ((i = 1; i < ${#mark_names[@]}; i++)); do
		[[ ${mark_names[i]} != check.* ]] || continue
		writes=0 sectors=0
		for ((j = 1; j < ${#e_kind[@]}; j++)); do
			((e_step[j] == i)) && [[ ${e_kind[j]} == write ]] && writes=$((writes + 1)) sectors=$((sectors + e_count[j]))
		done
		per+="${per:+, }$(step_label "${mark_names[i]}" | cut -d: -f1): $writes ($sectors sectors)"
	done
	if ((log_writes == mark_writes[-1])); then
		echo "writes per step: $per; the guest counted the same sectors"
	else
		echo "writes per step: $per; the log holds $log_writes sectors, the guest counted ${mark_writes[-1]}:" \
			"the steps are named by the sectors' count"
	fi
}
