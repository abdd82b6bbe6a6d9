# Runs of this command on one kernel: a fleet's models of one driver, or
# the reruns of a power cut's cut points, hand their disks in (lib/vm.sh,
# vm_batch, through DIR/NAME/ each) and one VM boots for all of them, each
# disk on a controller of its own (vm/vm-run).
vm_group_common=$(dirname -- "${BASH_SOURCE[0]}")/common.sh

# The groups: the models of each driver in the fleet file's order, at most
# 4 a VM on ide (its two channels' master and slave), 8 on the others.
fleet_groups() { # fills groups ("NAME..." each)
	local m name driver
	local -A open=() count=()
	groups=()
	for m in "${models[@]}"; do
		read -r name driver _ <<<"$m"
		if [[ -z ${open[$driver]+x} || ${count[$driver]} -ge $(vm_disks "$driver" 8) ]]; then
			open[$driver]=${#groups[@]} count[$driver]=0
			groups+=("")
		fi
		groups[${open[$driver]}]+="${groups[${open[$driver]}]:+ }$name"
		count[$driver]=$((count[$driver] + 1))
	done
}

# How many disks one VM of DRIVER takes: 4 on ide, else at most MOST.
vm_disks() { # DRIVER MOST
	driver_row "$1"
	[[ ${driver_devices[0]} == ide-hd,* ]] && echo $(($2 < 4 ? $2 : 4)) || echo "$2"
}

# The group's VM: waits until each run has handed in its disk (DIR/NAME/
# ready) or ended without (DIR/NAME.done: a run refused), then runs vm-run
# once for the disks handed in and gives each run its status and messages
# (DIR/NAME/status, err). GROUP names its own files (DIR/GROUP.err, and
# with "setsid", where vm-run is a process group of its own, DIR/GROUP.group
# holds its number, which a stopped fleet stops): "@N", no run's name.
group_vm() { # DIR GROUP setsid|- NAME...
	local dir=$1 g=$1/$2 own=$3 n i st b waiting
	local -a ready=() args=() disk=() run=()
	shift 3
	for ((i = 0; ; i++)); do
		ready=() waiting=0
		for n in "$@"; do
			if [[ -f $dir/$n/ready ]]; then
				ready+=("$n")
			elif [[ ! -f $dir/$n.done ]]; then
				waiting=1
			fi
		done
		((waiting && i < 18000)) || break
		sleep 0.1
	done
	((${#ready[@]})) || return 0
	for n in "${ready[@]}"; do
		b=$dir/$n
		mapfile -d '' -t args <"$b/args"
		for ((i = 0; i < ${#args[@]}; i++)); do [[ ${args[i]} != -- ]] || break; done
		disk+=(--disk "$b/disk.img" --payload "$b/payload" --out "$b/out" "${args[@]:i+1}")
	done
	[[ $own != setsid ]] || run=(setsid)
	"${run[@]}" bash -c '. "$1" && shift && with_token "$@"' with_token "$vm_group_common" "${args[@]:0:i}" "${disk[@]}" \
		</dev/null >/dev/null 2>"$g.err" &
	echo "$!" >"$g.group"
	wait "$!"
	st=$?
	for n in "${ready[@]}"; do
		cp -- "$g.err" "$dir/$n/err" && echo "$st" >"$dir/$n/status"
	done
}
