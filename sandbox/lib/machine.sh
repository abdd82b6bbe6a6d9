# What the sandbox's scripts share about the machines they describe or
# start: the disk driver table (lib/drivers), the one reading of a geometry,
# and the lines that tell a terminal what takes a while. Sourced by
# lib/options.sh, vm/vm-run, vm/initramfs, vm/kernel and boot/bootcheck,
# with machine_lib set to the directory this file is in (lib/ in the source
# tree, lib/dosprep/sandbox installed).

# --- the driver table ---------------------------------------------------------
driver_names() { # the table's drivers, one a line
	local name _
	while read -r name _; do
		[[ -z $name || $name == '#'* ]] || echo "$name"
	done <"$machine_lib/drivers"
}

driver_list() { # the drivers as a sentence: "a, b or c"
	driver_names | sentence
}

sentence() { # the lines of standard input as "a, b or c"
	local -a n
	local s i
	mapfile -t n
	s=${n[0]-}
	for ((i = 1; i < ${#n[@]}; i++)); do
		((i < ${#n[@]} - 1)) && s+=", ${n[i]}" || s+=" or ${n[i]}"
	done
	echo "$s"
}

# Sets driver_machine, driver_geometry (device, bios or -), driver_traits
# (",WORD,...,", "," for none), driver_modules and driver_devices (arrays)
# from the table's line of NAME; fails when no line has that name.
driver_row() { # NAME
	local name machine geometry traits modules devices
	while read -r name machine geometry traits modules devices; do
		[[ $name == "$1" && $name != '#'* ]] || continue
		driver_machine=$machine driver_geometry=$geometry driver_traits=, driver_modules=()
		[[ $traits == - ]] || driver_traits=,$traits,
		[[ $modules == - ]] || IFS=, read -ra driver_modules <<<"$modules"
		read -ra driver_devices <<<"$devices"
		return 0
	done <"$machine_lib/drivers"
	return 1
}

driver_has() { [[ $driver_traits == *",$1,"* ]]; } # TRAIT: of the line driver_row read

driver_list_with() { # TRAIT: the drivers whose line has it, as a sentence
	local name machine geometry traits _
	while read -r name machine geometry traits _; do
		[[ -n $name && $name != '#'* && ,$traits, == *",$1,"* ]] && echo "$name"
	done <"$machine_lib/drivers" | sentence
}

# The bytes a disk of BYTES takes on the driver of driver_row: the same, or
# the next power of two when its device takes no other size (pow2).
driver_disk_bytes() { # BYTES
	local n=1
	driver_has pow2 || { echo "$1"; return; }
	while ((n < $1)); do n=$((n * 2)); done
	echo "$n"
}

# --- geometries ---------------------------------------------------------------
# Every H/S/C (or H/S) that the sandbox and its scripts take is read here,
# by one rule: decimal numbers, leading zeros allowed, heads and sectors per
# track 0 to 255 and cylinders 0 to 65535, what the kernel's struct
# hd_geometry holds (and what the geometry library answers). A use that
# needs more (a disk of at least one sector, a BIOS's 63 sectors per track)
# checks geo_heads, geo_sectors and geo_cylinders after, and says so.
geometry_rule='heads and sectors per track 0 to 255, cylinders 0 to 65535'

# Sets geo_heads, geo_sectors and geo_cylinders (empty without one) from
# TEXT, of the FORM H/S/C, H/S or H/S[/C] (cylinders optional); fails when
# TEXT is not of that form or past the rule.
geometry_parse() { # TEXT FORM
	local -a v
	local i
	geo_heads='' geo_sectors='' geo_cylinders=''
	[[ $1 =~ ^[0-9]+/[0-9]+(/[0-9]+)?$ ]] || return 1
	IFS=/ read -ra v <<<"$1"
	case $2:${#v[@]} in
	H/S/C:3 | H/S:2 | 'H/S[/C]:'[23]) ;;
	*) return 1 ;;
	esac
	for i in "${!v[@]}"; do
		[[ ${v[i]} =~ ^0*([0-9]{1,5})$ ]] || return 1
		v[i]=$((10#${BASH_REMATCH[1]}))
	done
	((v[0] <= 255 && v[1] <= 255 && ${v[2]:-0} <= 65535)) || return 1
	geo_heads=${v[0]} geo_sectors=${v[1]} geo_cylinders=${v[2]-}
}

# --- progress -----------------------------------------------------------------
# One line for a step that takes more than a moment, on standard error when
# that is a terminal and nowhere else: output that a script captures stays
# as it was. DOSPREP_SANDBOX_PROGRESS_FD names another descriptor for it
# (a caller that captures the script's standard error for its messages).
progress() { # TEXT
	local fd=${DOSPREP_SANDBOX_PROGRESS_FD:-2}
	[[ $fd == [0-9] && -t $fd ]] && printf 'dosprep-sandbox: %s...\n' "$1" >&"$fd"
	return 0
}
