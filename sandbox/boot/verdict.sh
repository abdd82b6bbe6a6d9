# The end of bootcheck: the disk's reads by what lies there, why the boot
# ended as it did, and the verdict, from the screen text ($text), the ending
# ($ending), the block trace ($tmp/trace) of the booted disk ($disk) and the
# reads QEMU made there itself before the machine ran ($own_reads), the BIOS
# ($firmware, its geometry $bios), the controller ($controller) and diskbytes
# ($diskbytes). Sourced by bootcheck.

# diskbytes reads: "SECTOR WHAT[, N reads]" lines, as "read sector SECTOR:
# WHAT..." in the lines array, what it left out as it says it, and its
# summary ("= KEY VALUE...") in the summary array.
map_reads() {
	local line
	lines=() summary=()
	[[ -x $diskbytes ]] || return 0
	while IFS= read -r line; do
		case $line in
		"= "*) summary+=("${line#= }") ;;
		[0-9]*) lines+=("read sector ${line%% *}: ${line#* }") ;;
		*) lines+=("$line") ;;
		esac
	done < <("$diskbytes" reads "$disk" "$tmp/trace" 2>/dev/null)
}

said() { # KEY: the value of a summary line, or nothing
	local l
	for l in "${summary[@]}"; do [[ $l != "$1 "* ]] || { echo "${l#"$1" }"; return; }; done
}

# The boot sector of partition 1: "HEADS/SECTORS" it was written with.
boot_sector_geometry() {
	local start
	start=$("$diskbytes" field "$disk" partition1_start 2>/dev/null) || return
	echo "$("$diskbytes" field "$disk" heads "$start" 2>/dev/null)/$("$diskbytes" field "$disk" sectors_per_track "$start" 2>/dev/null)"
}

boot_file=BOOTMSG.TXT # what the sample boot programs load and print

judge() {
	local -a summary files lines
	local stray root shown last loaded names after=no i reads
	map_reads
	((${#lines[@]} == 0)) || printf '%s\n' "${lines[@]}"
	read -ra files <<<"$(said files)"
	stray=$(said stray) root=$(said root_directory)
	[[ $stray != none ]] || stray=''

	# What the boot code wrote, past the test MBR's own line.
	shown=$(grep -Eav -- "$geometry_re" <<<"$text") last=${shown##*$'\n'}
	loaded=${files[0]-} # the first file read: what the boot code loaded
	# Reads of anything else after the last read of it: the loaded program's own.
	for ((i = ${#lines[@]} - 1; i >= 0; i--)); do
		[[ ${lines[i]} == "read sector "*": $loaded cluster"* ]] && break
		after=yes
	done
	((i >= 0)) || after=no
	names=$("$diskbytes" names83 "$disk" "$("$diskbytes" field "$disk" partition1_start 2>/dev/null)" 2>/dev/null |
		paste -sd ' ')
	if [[ $(said root_read) == yes && -z $loaded && -n $names ]]; then
		echo "names in the boot sector: $names (a stand-in for one: --loader NAME)"
	fi
	reads=$(grep -c 'offset [0-9]* bytes' "$tmp/trace" 2>/dev/null)
	if ((${reads:-0} <= ${own_reads:-0})) && [[ -z $ending ]]; then
		echo "the BIOS read nothing from the disk on $controller: it cannot boot from this controller"
		echo "did not boot"
		exit 1
	elif grep -Eq -- "$booted_re" <<<"$text"; then
		echo "the sample boot program loaded BOOTMSG.TXT and printed its first line"
	elif grep -Eq -- "$standin_re" <<<"$text"; then
		echo "the boot code jumped into ${loaded:-the stand-in loader}"
	elif [[ -n $stray && $(said root_read) == yes ]]; then
		echo "the boot code read sector ${stray%% *} (${stray#* }) after the root directory at sector $root," \
			"where its parameter block puts no file${names:+ it names ($names)}; BIOS ${bios:-unknown}," \
			"boot sector $(boot_sector_geometry)"
		echo "did not boot"
		exit 1
	elif [[ -n $stray ]]; then
		echo "the boot code read sector ${stray%% *} (${stray#* }) where its parameter block puts the root" \
			"directory at sector $root; BIOS ${bios:-unknown}, boot sector $(boot_sector_geometry)"
		echo "did not boot"
		exit 1
	elif [[ -n $loaded && ( $after == yes || -n $shown ) ]]; then
		echo "the boot code loaded $loaded and ran it"
	elif [[ $firmware == bochs && $loaded == "$boot_file" && " $names " == *" $boot_file "* ]]; then
		# No screen text to read: the sample program's read of the file
		# it prints is its last step before printing "ok".
		echo "the sample boot program read $boot_file, which it prints next (Bochs's BIOS shows no screen text)"
	else
		if [[ -n $ending ]]; then
			echo "$ending with no verdict"
		elif [[ -n $shown ]]; then
			echo "the boot code stopped on its own message: \"$last\""
		elif [[ -n $loaded ]]; then
			echo "the boot code loaded $loaded, and nothing followed"
		elif [[ $firmware == bochs ]]; then
			echo "the boot code read nothing more (Bochs's BIOS shows no screen text)"
		else
			echo "the boot code stopped without a word"
		fi
		echo "did not boot"
		exit 1
	fi
	echo booted
	exit 0
}
