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
	binary preload argv0 want_report want_boot bios_geometry boot_bios mbr_file loader keep
	mode as_root boot_bins boot_tools loop_helper diskbytes host_mntns
	vm kernel_file modules_dir busy vm_tools geoprobe power_cut io_error sandbox_cmd)

# A static program: a 64-bit ELF file whose program headers name no loader.
# No preloaded library reaches it, and the VM's initramfs carries no C
# library for it.
static_program() { # PATH
	[[ $("$diskbytes" program "$1" 2>/dev/null) == static ]]
}

state_save() { # FILE
	declare -p "${state_names[@]}" >"$1"
}

# A fleet runs its QEMUs (its VMs and boot checks) holding one of its
# tokens (DOSPREP_SANDBOX_TOKENS="DIR N": lock files DIR/token.0 to N-1), so
# that at most N run at once, one a processor; elsewhere the command just
# runs. The status is the command's.
with_token() { # COMMAND...
	local dir n i st
	read -r dir n <<<"${DOSPREP_SANDBOX_TOKENS-}"
	[[ -n $dir && $n =~ ^[1-9][0-9]{0,1}$ ]] || { "$@"; return; }
	while :; do
		for ((i = 0; i < n; i++)); do
			flock -n -o -E 254 "$dir/token.$i" "$@"
			st=$?
			((st == 254)) || return "$st"
		done
		sleep 0.1
	done
}
