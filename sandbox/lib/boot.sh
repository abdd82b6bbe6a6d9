# The boot check at the end of a run: the disk image booted under QEMU, on a
# copy with the sandbox's test MBR, and what the screen showed. The BIOS
# chooses the geometry for a disk of that size, as on a real machine, unless
# --bios-geometry forces one. Used by lib/inside.

boot_section() { # IMAGE [PNG]: the section's text; a picture of the screen in PNG
	local png=() geo=() ctl=() out first hs=unknown err=$S/.sandbox/boot.err
	[[ -z ${2-} ]] || png=(--png "$2")
	[[ -z $bios_geometry ]] || geo=("$bios_geometry")
	[[ ! -f $rec/driver ]] || ctl=(--controller "$(<"$rec/driver")") # through the controller the kernel saw
	out=$("$boot_tools/bootcheck" "${ctl[@]}" --mbr "$boot_bins/mbr.bin" "${png[@]}" "$1" "${geo[@]}" 2>"$err")
	# bootcheck's first line names the geometry the BIOS gave.
	first=${out%%$'\n'*}
	if [[ $first == "bios geometry: "* ]]; then
		hs=${first#bios geometry: }
		[[ $out == *$'\n'* ]] && out=${out#*$'\n'} || out=
	fi
	[[ $hs != unknown ]] || hs="unknown geometry"
	echo "== boot under a BIOS of $hs"
	cat "$err"
	[[ -z $out ]] || printf '%s\n' "$out"
	return 0
}
