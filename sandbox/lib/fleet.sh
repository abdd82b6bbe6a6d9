# dosprep-sandbox --fleet FILE: one rehearsal on a real kernel (--vm) per
# machine model of FILE, side by side, and one table of them; --commands DIR
# prints those rehearsals as standalone commands instead, and --fleet-table
# DIR makes the same table from the reports they left. Sourced by the
# command after its options are parsed; the models' runs are the command's
# own, each a process of its own.

# A fleet file line: NAME DRIVER DISK-SIZE [START] [BIOS]. DISK-SIZE: NG,
# NGiB, NM, NMiB (a disk of 255 heads and 63 sectors per track, as many
# whole cylinders as fit) or H/S/C; START: blank (default), dos, gpt, or
# premade (the sandbox's own partition 1); BIOS: seabios (default), bochs or
# a forced H/S.
fleet_read() { # FILE: fills models (NAME DRIVER GEOMETRY START BIOS SIZE-AS-WRITTEN)
	local line n=0 name driver size start bios extra cyl
	local -A seen=()
	models=()
	[[ -f $1 && -r $1 ]] || die "--fleet $1: no such file"
	while IFS= read -r line || [[ -n $line ]]; do
		n=$((n + 1))
		line=${line%%#*}
		read -r name driver size start bios extra <<<"$line"
		[[ -n $name ]] || continue
		[[ -z $extra ]] || die "--fleet $1: line $n: more than NAME DRIVER DISK-SIZE [START] [BIOS]: '$extra'"
		[[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$ ]] ||
			die "--fleet $1: line $n: model name '$name': wants letters, digits, . _ - (at most 64)"
		[[ -z ${seen[$name]+x} ]] || die "--fleet $1: line $n: model name '$name' is on line ${seen[$name]} already"
		seen[$name]=$n
		driver_row "$driver" 2>/dev/null || die "--fleet $1: line $n: driver '$driver': wants one of $(driver_list)"
		if [[ $size =~ ^0*([0-9]{1,7})(G|GiB|M|MiB)$ ]]; then
			cyl=$((10#${BASH_REMATCH[1]} * 1024 * 1024))
			[[ ${BASH_REMATCH[2]} != G* ]] || cyl=$((cyl * 1024))
			cyl=$((cyl / (255 * 63 * 512)))
			((cyl >= 1 && cyl <= 65535)) ||
				die "--fleet $1: line $n: disk size '$size': wants 8M to 511G (255 heads, 63 sectors, 1 to 65535 cylinders)"
			geometry=255/63/$cyl
		elif geometry_parse "$size" H/S/C 2>/dev/null && ((geo_heads && geo_sectors && geo_cylinders)); then
			geometry=$geo_heads/$geo_sectors/$geo_cylinders
		else
			die "--fleet $1: line $n: disk size '$size': wants NG, NGiB, NM, NMiB or H/S/C"
		fi
		case ${start:=blank} in blank | dos | gpt | premade) ;;
		*) die "--fleet $1: line $n: start '$start': wants blank, dos, gpt or premade" ;;
		esac
		case ${bios:=seabios} in
		seabios) ;;
		bochs) driver_has bochs ||
			die "--fleet $1: line $n: BIOS 'bochs' drives IDE disks only ($(driver_list_with bochs)), not $driver" ;;
		*) geometry_parse "$bios" H/S 2>/dev/null && ((geo_heads && geo_sectors && geo_sectors <= 63)) ||
			die "--fleet $1: line $n: BIOS '$bios': wants seabios, bochs or H/S (heads 1 to 255, sectors 1 to 63)" ;;
		esac
		models+=("$name $driver $geometry $start $bios $size")
	done <"$1"
	((${#models[@]})) || die "--fleet $1: no machine model in it"
}

# The options of the command line that every model's run takes (copts): all
# but the fleet's own, --keep and --report; and dosprep's arguments (cargs).
fleet_common() { # ARGS... (the command line as given)
	local row
	copts=() cargs=()
	while (($#)); do
		[[ $1 != -- ]] || { cargs=("${@:2}"); break; }
		case ${1%%=*} in
		--fleet | --jobs | --json | --color | --commands | --fleet-table | --keep | --report)
			[[ $1 == *=* || $1 == --json || ($1 == --color && ${2-} != @(auto|always|never)) ]] || shift
			shift
			continue ;;
		esac
		[[ $1 == -* ]] || { cargs=("$@"); break; }
		row=${opt_row[${1%%=*}]-}
		copts+=("$1")
		[[ -z $row || $1 == *=* || ${opt_values[row]} == - ]] || { copts+=("$2"); shift; }
		shift
	done
	return 0
}

# The run of a model: its own options.
model_args() { # NAME DRIVER GEOMETRY START BIOS
	margs=(--vm "$2" --geometry "$3")
	[[ $4 == premade ]] || margs+=(--start "$4")
	case $5 in
	seabios) ;;
	bochs) margs+=(--bios bochs) ;;
	*) margs+=(--bios-geometry "$5") ;;
	esac
}

# One model's run into DIR/NAME: model, report, err, status, seconds. The
# run is a process group of its own (its number in DIR/NAME/group), which a
# stopped fleet stops whole; its disk goes to its group's VM through
# DIR/.vm/NAME (lib/fleet-vm.sh).
run_model() { # DIR MODEL...
	local d=$1/$2 t0 pid
	model_args "${@:2}"
	mkdir -p "$d" && echo "${*:2} $((10#$size * 2048))" >"$d/model" || return
	t0=$(date +%s%N)
	DOSPREP_SANDBOX_VM_BATCH=$1/.vm/$2 setsid "$self" "${margs[@]}" "${copts[@]}" --report "$d/report" -- "${cargs[@]}" \
		</dev/null >/dev/null 2>"$d/err" &
	pid=$!
	echo "$pid" >"$d/group"
	wait "$pid"
	echo $? >"$d/status"
	: >"$1/.vm/$2.done"
	echo $((($(date +%s%N) - t0) / 1000000000)) >"$d/seconds"
}

# What the report of DIR/NAME says, into the row's fields.
model_row() { # DIR NAME
	local d=$1/$2 r=$1/$2/report l
	read -r name driver geometry start bios size_written asked <"$d/model"
	status=$(cat "$d/status" 2>/dev/null) seconds=$(cat "$d/seconds" 2>/dev/null)
	hdio=- p1=- landed=- fsck=- biosgeo=- verdict=- reason=-
	if [[ $status == 125 || ! -f $r ]]; then
		verdict="could not run" reason=$(head -n 1 "$d/err" 2>/dev/null)
		return
	fi
	hdio=$(sed -n 's/^== kernel .*, HDIO_GETGEO //p' "$r" | head -n 1)
	l=$(sed -n '/^== partition table after the run/,/^== /{s/^\/dev\/sssd1 : start= *\([0-9]*\), size= *\([0-9]*\),.*/\1 \2/p}' "$r" | head -n 1)
	[[ -z $l ]] || p1="${l% *}+${l#* }"
	landed=no
	[[ -n $l ]] && ! grep -q '^warning: the table on the disk has' "$r" && landed=yes
	fsck=$(sed -n '/^== fsck.fat/,/^== /{/^clean$/p;/^not clean/p;/^not run/p}' "$r" | head -n 1)
	case $fsck in
	"not run: there is no partition 1") fsck="no partition 1" ;;
	"not run: "*) fsck="no file system" ;;
	esac
	biosgeo=$(sed -n 's/^== boot under a BIOS of //p' "$r" | head -n 1)
	if [[ -n $biosgeo ]]; then
		verdict=$(sed -n '/^== boot under/,/^== /{/^booted$/p;/^did not boot$/p}' "$r" | tail -n 1)
		reason=$(sed -n '/^== boot under/,/^== /p' "$r" | grep -B1 -x -e booted -e 'did not boot' | head -n 1)
	fi
	: "${hdio:=-}" "${fsck:=-}" "${biosgeo:=-}" "${verdict:=-}" "${reason:=-}"
}

# Progress on standard error: a line per finished model; on a terminal, a
# live line of what runs.
progress() { # DONE TOTAL NAME STATUS-WORD
	[[ ! -t 2 ]] || printf '\r\e[K' >&2
	printf '[%d/%d] %s: %s\n' "$@" >&2
}
live() { # DONE TOTAL
	[[ -t 2 ]] && printf '\r\e[K%d of %d done, running: %s' "$1" "$2" "${!running[*]}" >&2
	return 0
}

fleet_stop() { # on INT or TERM: the VMs stop, the table of what finished
	local n g i
	local -a groups=()
	for n in "${!running[@]}"; do
		g=$(cat "$work/$n/group" 2>/dev/null) && groups+=("$g") && kill -TERM -- "-$g" 2>/dev/null
		kill -TERM "${running[$n]}" 2>/dev/null
	done
	for n in "$work"/.vm/*.group; do
		g=$(cat "$n" 2>/dev/null) && groups+=("$g") && kill -TERM -- "-$g" 2>/dev/null
	done
	kill -TERM "${vms[@]}" 2>/dev/null
	# Each run cleans up after itself (a command it waits on may finish
	# first); what is still there after 10 s is killed.
	for ((i = 0; ${#groups[@]} && i < 100; i++)); do
		for g in "${groups[@]}"; do kill -0 -- "-$g" 2>/dev/null && break; done || break
		sleep 0.1
	done
	for g in "${groups[@]}"; do kill -KILL -- "-$g" 2>/dev/null; done
	wait 2>/dev/null
	rm -rf -- "$work/.vm" "$work/.tokens"
	[[ ! -t 2 ]] || printf '\r\e[K' >&2
	fleet_rows "$work" "${names[@]}"
	fleet_print
	exit "$1"
}

fleet_main() { # the command line as given
	local m n g done=0 pid
	local -a names=() parts groups=() vms=()
	local -A running=() group_of=()
	fleet_read "$fleet_file"
	fleet_common "$@"
	[[ -z $report && -z $vm ]] || die "--fleet: each model has its own --vm run and report (--keep DIR keeps them)"
	for m in "${models[@]}"; do names+=("${m%% *}"); done
	if [[ -n $commands_dir ]]; then
		commands_dir=$(readlink -m -- "$commands_dir")
		for m in "${models[@]}"; do
			read -ra parts <<<"$m"
			model_args "${parts[@]}"
			printf 'mkdir -p %q && echo %q >%q && %q' "$commands_dir/${parts[0]}" "$m $((10#$size * 2048))" \
				"$commands_dir/${parts[0]}/model" "$self"
			printf ' %q' "${margs[@]}" "${copts[@]}" --report "$commands_dir/${parts[0]}/report" -- "${cargs[@]}"
			printf ' </dev/null >/dev/null 2>%q; echo $? >%q\n' "$commands_dir/${parts[0]}/err" "$commands_dir/${parts[0]}/status"
		done
		exit 0
	fi
	[[ -n $jobs ]] || jobs=$(nproc 2>/dev/null || echo 1)
	[[ $jobs =~ ^[0-9]+$ ]] && ((jobs >= 1 && jobs <= 64)) || die "--jobs $jobs: wants 1 to 64"
	if [[ -n $keep ]]; then
		make_keep
		work=$keep
	else
		safe_place TMPDIR "$tmp" sticky
		work=$(mktemp -d "$tmp/dosprep-fleet.XXXXXX") || die "cannot make a scratch directory in $tmp"
		trap 'rm -rf -- "$work"' EXIT
	fi
	trap 'fleet_stop 130' INT
	trap 'fleet_stop 143' TERM
	mkdir -p "$work/.vm" "$work/.tokens" || die "cannot make $work/.vm"
	export DOSPREP_SANDBOX_TOKENS="$work/.tokens $((jobs + 1))"
	# A group at a time, at most --jobs + 1 groups on the way; their QEMUs
	# hold the --jobs + 1 tokens (one more than processors: boot checks and
	# VMs waiting for a slow driver's disks idle a while).
	fleet_groups
	for g in "${!groups[@]}"; do
		while (($(active_groups) > jobs)); do fleet_reap; done
		for n in ${groups[g]}; do
			mkdir -p "$work/.vm/$n" || die "cannot make $work/.vm/$n"
			read -ra parts <<<"$(model_line "$n")"
			run_model "$work" "${parts[@]}" &
			running[$n]=$!
			group_of[$n]=$g
		done
		group_vm "$work/.vm" "@$g" setsid ${groups[g]} &
		vms+=($!)
		live "$done" "${#models[@]}"
	done
	while ((${#running[@]})); do fleet_reap; done
	wait
	rm -rf -- "$work/.vm" "$work/.tokens"
	[[ ! -t 2 ]] || printf '\r\e[K' >&2
	fleet_rows "$work" "${names[@]}"
	fleet_print
	fleet_status
	exit
}

model_line() { # NAME: its line of models
	local m
	for m in "${models[@]}"; do [[ ${m%% *} != "$1" ]] || { echo "$m"; return; }; done
}

active_groups() { # how many groups have a model still running
	local n
	local -A seen=()
	for n in "${!running[@]}"; do seen[${group_of[$n]}]=1; done
	echo "${#seen[@]}"
}

fleet_reap() { # waits for one model's run to end, and says so
	local n word
	wait -n 2>/dev/null
	for n in "${!running[@]}"; do
		kill -0 "${running[$n]}" 2>/dev/null && continue
		wait "${running[$n]}" 2>/dev/null
		unset "running[$n]"
		done=$((done + 1))
		model_row "$work" "$n"
		word=$verdict
		[[ $word != - ]] || word="table landed: $landed"
		progress "$done" "${#models[@]}" "$n" "$word, ${seconds:-?} s"
	done
	live "$done" "${#models[@]}"
}

# --fleet-table DIR: the table of the reports in DIR/NAME (--commands).
fleet_table_main() {
	local d
	local -a names=()
	[[ -d $fleet_table ]] || die "--fleet-table $fleet_table: no such directory"
	for d in "$fleet_table"/*/model; do
		[[ -f $d ]] && names+=("$(basename -- "${d%/model}")")
	done
	((${#names[@]})) || die "--fleet-table $fleet_table: no model's run in it (DIR/NAME/model)"
	fleet_rows "$fleet_table" "${names[@]}"
	fleet_print
	fleet_status
	exit
}
