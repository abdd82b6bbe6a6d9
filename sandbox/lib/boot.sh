# The boot check at the end of a run: the disk image booted under QEMU, on a
# copy with the sandbox's test MBR (or --mbr's), what the screen showed,
# every sector the machine read and why bootcheck judged as it did. The BIOS
# chooses the geometry for a disk of that size, as on a real machine, unless
# --bios-geometry forces one. With --loader, a stand-in loader goes on
# partition 1 first. Used by lib/inside.

# The stand-in loader of --loader: its one sector over and over (32 KiB, the
# most a DOS boot sector loads), as NAME on partition 1 of IMAGE.
put_standin() { # IMAGE
	local part f=$S/.sandbox/standin
	part=$(partition1 "$1")
	[[ $part != none ]] || { echo "no partition 1 to put the stand-in loader $loader on"; return; }
	for _ in {1..64}; do cat -- "$boot_bins/standin.bin"; done >"$f" &&
		MTOOLS_SKIP_CHECK=1 mcopy -o -i "$1@@$((${part%% *} * 512))" "$f" "::$loader" 2>"$f.err" &&
		echo "the sandbox put a stand-in loader on partition 1 as $loader" ||
		echo "the sandbox could not put the stand-in loader $loader on partition 1: $(head -n 1 "$f.err")"
}

boot_section() { # IMAGE [PNG]: the section's text; a picture of the screen in PNG
	local png=() geo=() ctl=() out first hs=unknown err=$S/.sandbox/boot.err placed=''
	[[ -z ${2-} ]] || png=(--png "$2")
	[[ -z $bios_geometry ]] || geo=("$bios_geometry")
	[[ ! -f $rec/driver ]] || ctl=(--controller "$(<"$rec/driver")") # through the controller the kernel saw
	[[ -z $loader ]] || placed=$(put_standin "$1")
	out=$(with_token "$boot_tools/bootcheck" "${ctl[@]}" --bios "$boot_bios" --mbr "${mbr_file:-$boot_bins/mbr.bin}" --diskbytes "$diskbytes" \
		"${png[@]}" "$1" "${geo[@]}" 2>"$err")
	# bootcheck's first line names the geometry the BIOS gave.
	first=${out%%$'\n'*}
	if [[ $first == "bios geometry: "* ]]; then
		hs=${first#bios geometry: }
		[[ $out == *$'\n'* ]] && out=${out#*$'\n'} || out=
	fi
	[[ $hs != unknown ]] || hs="unknown geometry"
	[[ $boot_bios == seabios ]] || hs+=" ($boot_bios)"
	echo "== boot under a BIOS of $hs"
	[[ -z $placed ]] || echo "$placed"
	cat "$err"
	[[ -z $out ]] || printf '%s\n' "$out"
	return 0
}
