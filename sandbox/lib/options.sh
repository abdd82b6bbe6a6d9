# dosprep-sandbox's options: the table in lib/options made into the usage
# text and the parser, then the checks of what was parsed and the list of
# disk nodes. Sourced by the command after common.sh; needs $libdir.
machine_lib=$libdir
. "$libdir/machine.sh" # the driver table and the geometry rule

opt_names=() opt_values=() opt_vars=() opt_also=() opt_help=()
declare -A opt_row=()
while IFS= read -r line; do
	case $line in
	'#'* | '') ;;
	'+ '*) opt_help[-1]+=$'\n'"${line#+ }" ;;
	*)
		read -r name value var also _ help <<<"$line"
		for n in ${name//,/ }; do opt_row[$n]=${#opt_names[@]}; done
		opt_names+=("$name") opt_values+=("$value") opt_vars+=("$var") opt_also+=("$also")
		opt_help+=("$help")
		;;
	esac
done <"$libdir/options"
unset line name value var also help n

usage() { # the table's help; @drivers stands for the names of lib/drivers
	local i name line drivers
	drivers=$(driver_list)
	printf '%s\n' "usage: dosprep-sandbox [options] [--] [ARGS...]" "" \
		"Runs dosprep ARGS as root in a simulated installation environment and exits" \
		"with its status (125 when the environment itself could not be made)." ""
	for i in "${!opt_names[@]}"; do
		name=${opt_names[i]//,/, }
		[[ ${opt_values[i]} == - ]] || name+=" ${opt_values[i]}"
		while IFS= read -r line; do
			line=${line//@drivers/$drivers}
			printf '  %-20s %s\n' "$name" "$line"
			name=
		done <<<"${opt_help[i]}"
	done
}

option_defaults() {
	geometry=255/63/1024 size=100 format=32 start_state='' start_sectors=0
	controller=SCSI ssprimary_raw='' raw_set=0
	boot=/dev/sda ndisks=2 no_geometry=0 no_disk=0 no_partition=0 partition_file=0
	vantor_dir='' files_dir='' keep='' binary=${DOSPREP_BINARY:-} preload=${DOSPREP_PRELOAD:-}
	report='' argv0=dosprep want_boot=0 bios_geometry='' boot_bios=seabios mbr_file='' loader=''
	vm='' kernel_file='' modules_dir='' busy=0 vm_tools='' geoprobe='' power_cut='' io_error=''
	fleet_file='' jobs='' json=0 color=auto commands_dir='' fleet_table=''
	extra_disks=() setups=() afters=() checks=() dosprep_args=()
	declare -gA given=() # the options on the command line
}

parse_options() { # ARGS...: sets the variables of the table and dosprep_args
	local i var also
	option_defaults
	while (($#)); do
		# --OPTION=VALUE is --OPTION VALUE; a bare --color is --color=auto.
		if [[ $1 =~ ^(--[a-z0-9-]+)=(.*)$ && -n ${opt_row[${BASH_REMATCH[1]}]+x} ]]; then
			[[ ${opt_values[${opt_row[${BASH_REMATCH[1]}]}]} != - ]] || die "option ${BASH_REMATCH[1]} takes no value"
			set -- "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" "${@:2}"
		elif [[ $1 == --color && ${2-} != @(auto|always|never) ]]; then
			set -- --color auto "${@:2}"
		elif [[ $1 == --power-cut && ${2-} != @(writes|flushes) ]]; then # a bare --power-cut cuts at writes
			set -- --power-cut writes "${@:2}"
		fi
		case $1 in
		--) shift; break ;;
		-*) [[ -n ${opt_row[$1]+x} ]] ||
			die "unknown option $1 (see --help; dosprep's own arguments go after --)" ;;
		*) break ;;
		esac
		i=${opt_row[$1]} var=${opt_vars[i]} also=${opt_also[i]}
		[[ -z ${given[${opt_names[i]}]+x} || $var == *'[]' || ${opt_values[i]} == - ]] ||
			die "option $1 given twice (it takes one value)"
		given[${opt_names[i]}]=1
		[[ $also == - ]] || printf -v "${also%%=*}" %s "${also#*=}"
		case ${opt_values[i]} in
		-) [[ $var == help ]] && { usage; exit 0; }
			printf -v "$var" 1 ;;
		DIR | FILE | PATH) [[ -n ${2-} ]] || die "option $1 needs a value" ;;&
		*) (($# >= 2)) && [[ -z $2 || -z ${opt_row[$2]+x} ]] || die "option $1 needs a value"
			if [[ $var == *'[]' ]]; then
				declare -n list=${var%'[]'}
				list+=("$2")
				unset -n list
			else
				printf -v "$var" %s "$2"
			fi
			shift ;;
		esac
		shift
	done
	dosprep_args=("$@")
}

number='0*([0-9]{1,7})' # a decimal number; leading zeros are allowed

check_options() {
	geometry_parse "$geometry" H/S/C || die "--geometry $geometry: wants H/S/C, $geometry_rule"
	heads=$geo_heads spt=$geo_sectors cylinders=$geo_cylinders
	[[ $size =~ ^$number$ ]] && size=$((10#${BASH_REMATCH[1]})) && ((size >= 1 && size < 2097152)) ||
		die "--size $size: wants megabytes from 1 to 2097151"
	case $format in
	16) ((size >= 16 && size <= 4095)) || die "--size $size: FAT16 (--format 16) takes 16 to 4095 MB" ;;
	32) ((size >= 33)) || die "--size $size: FAT32 (--format 32) takes 33 MB and more" ;;
	none) ;;
	*) die "--format $format: wants 16, 32 or none" ;;
	esac
	[[ $ndisks =~ ^$number$ ]] && ndisks=$((10#${BASH_REMATCH[1]})) && ((ndisks <= 99)) ||
		die "--disks $ndisks: wants a number from 0 to 99"
	valid_node "$boot" || die "--boot-node $boot: wants a free path under /dev (not $reserved_nodes)"
	local o
	for o in --bios-geometry --bios --mbr --loader; do
		[[ -z ${given[$o]+x} ]] || ((want_boot)) || die "$o: only with --boot"
	done
	if [[ -n $mbr_file ]]; then
		[[ -f $mbr_file && -r $mbr_file ]] || die "--mbr $mbr_file: no such file"
		(($(stat -L -c %s -- "$mbr_file") >= 440)) || die "--mbr $mbr_file: shorter than the 440 bytes of MBR code"
		mbr_file=$(readlink -f -- "$mbr_file")
	fi
	if [[ -n $loader ]]; then
		loader=${loader^^}
		local short="[A-Z0-9_\$~!#%&'(){}^@-]"
		[[ $loader =~ ^$short{1,8}(\.$short{1,3})?$ ]] ||
			die "--loader $loader: wants a short file name, NAME or NAME.EXT (8 and 3 characters)"
		[[ $format != none || -n $start_state ]] || die "--loader: the partition has no file system (--format none)"
	fi
	# A BIOS geometry: INT 13h AH=08 holds sectors per track in 6 bits.
	if [[ -n $bios_geometry ]]; then
		geometry_parse "$bios_geometry" H/S && ((geo_heads && geo_sectors && geo_sectors <= 63)) ||
			die "--bios-geometry $bios_geometry: wants H/S, heads 1 to 255, sectors per track 1 to 63"
		bios_geometry=$geo_heads/$geo_sectors
	fi
	if ((want_boot)); then
		command -v qemu-system-x86_64 >/dev/null ||
			die "--boot: qemu-system-x86_64 is missing (package qemu-system-x86)"
		((!no_disk)) || die "--boot: there is no disk to boot (--no-disk)"
	fi
	if [[ -n $vantor_dir ]]; then
		[[ -e $vantor_dir ]] || die "--vantor $vantor_dir: no such directory"
		[[ -d $vantor_dir ]] || die "--vantor $vantor_dir: not a directory"
		vantor_dir=$(readlink -f -- "$vantor_dir")
	fi
	if [[ -n $files_dir ]]; then
		[[ -e $files_dir ]] || die "--files $files_dir: no such directory"
		[[ -d $files_dir ]] || die "--files $files_dir: not a directory"
		[[ $format != none ]] || die "--files: the partition has no file system (--format none)"
		files_dir=$(readlink -f -- "$files_dir")
	fi
	[[ -z ${given[--start]+x} ]] || check_start
	check_vm
	check_bios
	want_report=0
	[[ -n $report ]] && want_report=1
	return 0
}

# --start: a known state, or a disk image file (start_sectors: its size).
# The states must fit the disk of --geometry; an image brings its own size.
check_start() {
	local need=1 bytes disk_sectors=$((heads * spt * cylinders))
	case $start_state in
	'') die "--start '': wants blank, dos, gpt or a disk image file" ;;
	blank) ;;
	dos) need=$((2048 + 2097152 + 2048)) ;;
	gpt) need=$((2048 + 1048576 + 2048 + 33)) ;;
	*)
		[[ -f $start_state && -r $start_state ]] ||
			die "--start $start_state: wants blank, dos, gpt or a readable disk image file"
		bytes=$(stat -L -c %s -- "$start_state") && ((bytes > 0)) ||
			die "--start $start_state: an empty file, not a disk image"
		((bytes % 512 == 0)) ||
			die "--start $start_state: ${bytes:-?} bytes, not a whole number of 512-byte sectors"
		start_state=$(readlink -f -- "$start_state")
		start_sectors=$((bytes / 512)) disk_sectors=$((bytes / 512))
		;;
	esac
	((disk_sectors >= need)) ||
		die "--start $start_state: the disk of --geometry $geometry holds $disk_sectors sectors, this state needs $need"
	((!no_disk)) || die "--start: there is no disk (--no-disk)"
	[[ $start_state != dos ]] || command -v mkfs.ext4 >/dev/null ||
		die "--start dos: mkfs.ext4 is missing (package e2fsprogs)"
	[[ -z ${given[--format]+x} ]] || die "--format: there is no pre-made partition with --start"
	[[ -z $files_dir ]] || die "--files: there is no pre-made partition with --start"
}

# --vm: the options that shape the simulated machine have no VM
# counterpart; those that belong to the VM want --vm.
check_vm() {
	local o
	if [[ -z $vm ]]; then
		for o in --kernel --modules --busy --power-cut --io-error; do
			[[ -z ${given[$o]+x} ]] || die "$o: only with --vm"
		done
		return 0
	fi
	check_faults
	driver_row "$vm" || die "--vm $vm: wants $(driver_list)"
	for o in --no-geometry --no-disk --no-partition --partition-file --boot-node --disks --disk --preload --argv0; do
		[[ -z ${given[$o]+x} ]] || die "$o: makes no sense with --vm (the VM's kernel makes the disk's nodes and geometry)"
	done
	# The VM's disk holds H×S×C sectors, and a disk device given a
	# geometry wants each part 1 and up.
	((heads && spt && cylinders)) ||
		die "--geometry $geometry: with --vm wants heads, sectors per track and cylinders 1 and up"
	((!busy)) || [[ $start_state == dos || $start_state == gpt ]] ||
		die "--busy: wants --start dos or gpt (an old partition 1 to keep mounted)"
	[[ -z $bios_geometry || $driver_geometry != - ]] || die "--bios-geometry: a disk on $vm takes no forced BIOS geometry"
	command -v qemu-system-x86_64 >/dev/null || die "--vm: qemu-system-x86_64 is missing (package qemu-system-x86)"
	local bb
	bb=$(command -v busybox) || die "--vm: busybox is missing (package busybox-static)"
	ldd "$bb" >/dev/null 2>&1 && die "--vm: $bb is not statically linked (package busybox-static)"
	return 0
}

# --power-cut and --io-error (with --vm): one fault a run. A sector or range
# of --io-error lies on the disk; a name is resolved when the run starts.
check_faults() {
	local disk_sectors=$((start_sectors ? start_sectors : heads * spt * cylinders)) sector='0*([0-9]{1,15})'
	if [[ -n ${given[--power-cut]+x} ]]; then
		[[ $power_cut == @(writes|flushes) ]] || die "--power-cut $power_cut: wants writes or flushes (default writes)"
		[[ -z ${given[--io-error]+x} ]] || die "--io-error: not with --power-cut (one fault a run)"
	fi
	[[ -n ${given[--io-error]+x} ]] || return 0
	[[ $io_error =~ ^(mbr|boot-sector|backup-boot-sector|fat|$sector|$sector-$sector)(:(read|write))?$ ]] ||
		die "--io-error $io_error: wants WHERE[:read|write], WHERE a sector, A-B," \
			"mbr, boot-sector, backup-boot-sector or fat"
	[[ $io_error =~ ^$sector(-$sector)?(:|$) ]] || return 0
	local a=$((10#${BASH_REMATCH[1]})) b=$((10#${BASH_REMATCH[3]:-${BASH_REMATCH[1]}}))
	((a <= b)) || die "--io-error $io_error: the range A-B wants A not past B"
	((b < disk_sectors)) || die "--io-error $io_error: the disk has sectors 0 to $((disk_sectors - 1))"
	((b - a < 65536)) || die "--io-error $io_error: at most 65536 sectors"
}

# --bios: SeaBIOS, or Bochs's BIOS where the boot controller (that of --vm,
# else bootcheck's first, ide) is one it drives. It shows no screen text,
# so the stand-in of --loader could not say it was jumped into, and it takes
# no forced geometry.
check_bios() {
	case $boot_bios in
	seabios) return 0 ;;
	bochs) ;;
	*) die "--bios $boot_bios: wants seabios or bochs" ;;
	esac
	driver_row "${vm:-$(driver_names | head -n 1)}" && driver_has bochs ||
		die "--bios bochs: Bochs's BIOS drives IDE disks only ($(driver_list_with bochs)), not ${vm:-that of the boot check}"
	[[ -z $bios_geometry ]] || die "--bios bochs: a forced BIOS geometry (--bios-geometry) reaches SeaBIOS only"
	[[ -z $loader ]] || die "--bios bochs: the stand-in loader of --loader says it ran on the screen, which Bochs's BIOS does not show"
	[[ -f /usr/share/bochs/BIOS-qemu-latest ]] || die "--bios bochs: Bochs's BIOS is missing (package bochsbios)"
}

# --report FILE: "-", a regular file, or a new file outside /dev that can be
# made (it is made and removed); checked once the scratch directory, which
# --keep may hold FILE in, is made.
check_report() {
	[[ -z $report || $report == - ]] && return
	local real
	real=$(readlink -m -- "$report")
	if [[ -e $report ]]; then
		[[ -f $report ]] || die "--report $report: not a regular file (a report goes to -, a file or a new file)"
		{ : >>"$report"; } 2>/dev/null || die "--report $report: cannot write there"
	else
		[[ $real != /dev/* ]] || die "--report $report: no such file under /dev (a report goes to -, a file or a new file)"
		{ : >>"$report"; } 2>/dev/null && rm -f -- "$report" || die "--report $report: cannot write there"
	fi
}

reserved_nodes="/dev/sssd /dev/sssd1 /dev/null /dev/zero /dev/full /dev/tty /dev/random /dev/urandom /dev/fd /dev/stdin /dev/stdout /dev/stderr"
valid_node() {
	[[ $1 =~ ^/dev/[^/].*[^/]$ && $1 != *//* && /$1/ != */../* && /$1/ != */./* &&
		" $reserved_nodes " != *" $1 "* && $1 != /dev/fd/* ]]
}

# The following disks, counted up from the boot node as dosprep does: the
# last character tells them apart (sda, sdb...; c0d0, c0d1...), and stays a
# small letter, a capital or a digit.
list_disks() {
	local last=${boot: -1} top='' code c i n
	case $last in [a-z]) top=z ;; [A-Z]) top=Z ;; [0-9]) top=9 ;; esac
	printf -v code '%d' "'$last"
	((ndisks == 0)) || { [[ -n $top ]] && ((code + ndisks <= $(printf '%d' "'$top"))); } ||
		die "--disks $ndisks: the names of following disks count up the last character of $boot and would run past ${top:-the letters and digits}"
	disk_nodes=()
	for ((i = 1; i <= ndisks; i++)); do
		printf -v c "\\$(printf '%03o' $((code + i)))"
		disk_nodes+=("${boot%?}$c")
	done
	for n in "${extra_disks[@]}"; do
		valid_node "$n" && [[ $n != "$boot" ]] || die "--disk $n: wants a free path under /dev"
		disk_nodes+=("$n")
	done
	[[ -z $(printf '%s\n' "${disk_nodes[@]}" "$boot" | sort | uniq -d) ]] ||
		die "two disks have the same node: $(printf '%s\n' "${disk_nodes[@]}" "$boot" | sort | uniq -d | paste -sd' ')"
}
