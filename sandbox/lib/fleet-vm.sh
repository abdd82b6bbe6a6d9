# A fleet's models on one kernel: the models of a driver, up to a VM's
# worth, run side by side as one group; each hands its disk to the group's
# VM when its setup on this side is done (lib/vm.sh, vm_batch), and one VM
# boots for all of them, each disk on a controller of its own.

# The groups: the models of each driver in the fleet file's order, at most
# 4 a VM on ide (its two channels' master and slave), 8 on the others.
fleet_groups() { # fills groups ("NAME..." each)
	local m d name driver
	local -A open=() count=()
	local -a order=()
	groups=()
	for m in "${models[@]}"; do
		read -r name driver _ <<<"$m"
		driver_row "$driver"
		d=$driver
		if [[ -z ${open[$d]+x} || ${count[$d]} -ge $([[ ${driver_devices[0]} == ide-hd,* ]] && echo 4 || echo 8) ]]; then
			open[$d]=${#groups[@]} count[$d]=0
			groups+=("")
		fi
		groups[${open[$d]}]+="${groups[${open[$d]}]:+ }$name"
		count[$d]=$((count[$d] + 1))
	done
}

# The group's VM: waits until each model has handed in its disk or ended
# without (a run refused), then runs vm-run once for the disks handed in and
# gives each its status and messages. vm-run is a process group of its own
# (its number in .vm/GROUP.group), which a stopped fleet stops.
group_vm() { # GROUP NAME...
	local g=$work/.vm/$1 n i st b waiting
	local -a ready=() args=() disk=()
	shift
	for ((i = 0; ; i++)); do
		ready=() waiting=0
		for n in "$@"; do
			if [[ -f $work/.vm/$n/ready ]]; then
				ready+=("$n")
			elif [[ ! -f $work/$n/status ]]; then
				waiting=1
			fi
		done
		((waiting && i < 18000)) || break
		sleep 0.1
	done
	((${#ready[@]})) || return 0
	for n in "${ready[@]}"; do
		b=$work/.vm/$n
		mapfile -d '' -t args <"$b/args"
		for ((i = 0; i < ${#args[@]}; i++)); do [[ ${args[i]} != -- ]] || break; done
		disk+=(--disk "$b/disk.img" --payload "$b/payload" --out "$b/out" "${args[@]:i+1}")
	done
	setsid bash -c '. "$1" && shift && with_token "$@"' with_token "$libdir/common.sh" "${args[@]:0:i}" "${disk[@]}" \
		</dev/null >/dev/null 2>"$g.err" &
	echo "$!" >"$g.group"
	wait "$!"
	st=$?
	for n in "${ready[@]}"; do
		cp -- "$g.err" "$work/.vm/$n/err" && echo "$st" >"$work/.vm/$n/status"
	done
}
