# What both sides of dosprep-sandbox share: its name, how it gives up, and
# the state the caller hands to the inside of the namespace (these names and
# nothing else, written by the caller to .sandbox/state, read by lib/inside).
prog=dosprep-sandbox

die() {
	printf '%s: %s\n' "$prog" "$*" >&2
	exit 125
}

# The run as the options and checks made it: the geometry, the disk and its
# file system, /root/vantor, the nodes, the commands and what is wanted back.
state_names=(heads spt cylinders no_geometry size format start_state start_sectors controller ssprimary_raw raw_set
	boot no_disk no_partition disk_nodes vantor_dir files_dir setups afters checks
	binary preload argv0 want_report want_boot bios_geometry keep
	mode as_root boot_bins boot_tools loop_helper diskbytes host_mntns
	vm kernel_file modules_dir busy vm_tools geoprobe)

# A static program: a 64-bit ELF file whose program headers name no loader
# (no PT_INTERP, type 3). No preloaded library reaches it, and the VM's
# initramfs carries no C library for it.
static_program() { # PATH
	local -a h t
	local i phoff phent phnum
	h=($(od -An -tu1 -v -N64 -- "$1" 2>/dev/null))
	[[ ${#h[@]} == 64 && ${h[*]:0:5} == "127 69 76 70 2" ]] || return 1
	phoff=0
	for i in {39..32}; do phoff=$((phoff * 256 + h[i])); done
	phent=$((h[54] + 256 * h[55])) phnum=$((h[56] + 256 * h[57]))
	((phent >= 4 && phent % 4 == 0 && phnum > 0)) || return 1
	t=($(od -An -tu4 -v -j "$phoff" -N $((phent * phnum)) -- "$1" 2>/dev/null))
	((${#t[@]} == phent * phnum / 4)) || return 1
	for ((i = 0; i < ${#t[@]}; i += phent / 4)); do ((t[i] != 3)) || return 1; done
}

state_save() { # FILE
	declare -p "${state_names[@]}" >"$1"
}
