# The boot check at the end of a run: the disk image booted under QEMU with
# the BIOS geometry asked for, on a copy with the sandbox's test MBR, and
# what the screen showed. Used by lib/inside.

boot_section() { # [PNG]: the section's text; a picture of the screen in PNG
	local hs=$bios_geometry cyl png=()
	cyl=$((disk_sectors / (${hs%/*} * ${hs#*/})))
	[[ -z ${1-} ]] || png=(--png "$1")
	echo "== boot under a BIOS of $hs"
	"$boot_tools/bootcheck" --mbr "$boot_bins/mbr.bin" "${png[@]}" "$S/disk.img" "$hs/$cyl" 2>&1
	return 0
}
