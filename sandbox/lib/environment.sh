# The simulated machine, built by lib/inside in the scratch directory $S (a
# tmpfs of its own): the boot disk image (pre-made, or as --start has it),
# /root/vantor, the following disks, then /root and /dev as the run sees
# them. Reads the state and the layout that lib/inside sets once; the
# partition node comes from partition-*.sh.

label_id=0b0075ec # disk identifier of the pre-made partition table
boot_file=BOOTMSG.TXT # the file the sample boot programs load and show

boot_file_note() { # under the setup command that made a new file system on partition 1
	echo "the sandbox put $boot_file back on the new file system of partition 1, for the boot check"
}

quiet() { # runs a command, showing its output only when it fails
	local out
	out=$("$@" 2>&1) || die "$1 failed: $out"
}

write_table() { # IMAGE TABLE: an sfdisk script written to the image, no kernel told
	quiet /usr/sbin/sfdisk --quiet --no-reread --no-tell-kernel "$1" <<<"$2"
}

mkfat() { # FAT-TYPE FILE BLOCKS|"" [mkfs.fat options...]
	local out
	out=$(mkfs.fat -F "$1" --invariant "${@:4}" "$2" $3 2>&1) || {
		out=$(grep '^mkfs.fat:' <<<"$out" || echo "$out")
		die "cannot make FAT$1 on $size MB: ${out//$'\n'/ }"
	}
}

make_disk() { # the boot disk: a sparse image with partition 1 at the first track
	local ptype=6 layout=()
	[[ $format == 32 ]] && ptype=c layout=("${fat32_layout[@]}")
	truncate -s $((disk_sectors * 512)) "$S/disk.img" || die "cannot make the disk image"
	write_table "$S/disk.img" "label: dos
label-id: 0x$label_id
unit: sectors

start=$premade_start, size=$psize, type=$ptype"
	[[ $format == none ]] && return
	mkfat "$format" "$S/disk.img" $((psize / 2)) -h "$premade_start" --offset "$premade_start" \
		"${layout[@]}"
	place_files "$S/disk.img"
}

# The file the sample boot programs load, past the first cylinder (behind a
# filler of one cylinder, at most a quarter of the partition), so that a
# wrong head count or sectors per track shows; then the files of --files.
# The FAT32 template volume gets the same files, so that the free cluster
# count it brings along is the partition's.
place_files() { # IMAGE [START SIZE] (default: partition 1 at the pre-made start)
	local at="$1@@$((${2-$premade_start} * 512))" filler=$((heads * spt * 512))
	((filler <= ${3-$psize} * 128)) || filler=$((${3-$psize} * 128))
	export MTOOLS_SKIP_CHECK=1
	# Fixed times (mcopy -m keeps them), so that every run makes the same bytes.
	head -c "$filler" /dev/zero >"$S/.sandbox/filler" &&
		printf 'The sample boot program read this line from %s.\r\n' "$boot_file" >"$S/.sandbox/$boot_file" &&
		touch -d @946684800 "$S/.sandbox/filler" "$S/.sandbox/$boot_file" &&
		quiet mcopy -m -i "$at" "$S/.sandbox/filler" ::FILLER.BIN &&
		quiet mcopy -m -i "$at" "$S/.sandbox/$boot_file" "::$boot_file" &&
		rm "$S/.sandbox/filler" || die "cannot put $boot_file on the partition"
	[[ -z $files_dir ]] && return
	if [[ ! -d $S/.sandbox/files ]]; then
		mkdir "$S/.sandbox/files" && copy_data --files "$files_dir" "$S/.sandbox/files"
	fi
	local f err
	for f in "$S/.sandbox/files"/*; do
		[[ -e $f ]] || continue
		err=$(mcopy -s -o -m -i "$at" "$f" :: 2>&1) ||
			die "--files $files_dir: cannot copy ${f##*/} onto partition 1 of $((${3-$psize} / 2048)) MB:" \
				"${err//$'\n'/ }"
	done
}

# A directory the user names (--vantor, --files) is data: its regular files
# and directories are copied, a link whose target is a regular file inside
# the directory is followed (its target's content copied, the link named in
# .sandbox/links), and anything else (a link that leads out of it or to a
# directory, a device node, a FIFO, a socket) stops the run naming the file.
# Nothing the copy makes is a link or a node.
copy_data() { # OPTION DIR DEST
	local opt=$1 dir=$2 dest=$3 rel type target
	while IFS= read -r -d '' rel; do
		rel=${rel#./}
		type=$(stat -c %F -- "$dir/$rel") || die "$opt $dir: cannot read $rel"
		case $type in
		directory) mkdir -p -- "$dest/$rel" || die "cannot copy $dir/$rel" ;;
		'regular file' | 'regular empty file')
			cp -P --preserve=timestamps -- "$dir/$rel" "$dest/$rel" || die "cannot copy $dir/$rel" ;;
		'symbolic link')
			target=$(readlink -e -- "$dir/$rel")
			[[ -n $target && $target == "$dir"/* && -f $target ]] ||
				die "$opt $dir: $rel is a link to $(readlink -- "$dir/$rel"), not to a file inside $dir:" \
					"only files, directories and links to files inside it are copied"
			cp -L --preserve=timestamps -- "$target" "$dest/$rel" || die "cannot copy $dir/$rel"
			printf '%s\t%s\t%s\n' "$opt" "$rel" "${target#"$dir"/}" >>"$S/.sandbox/links" ;;
		*) die "$opt $dir: $rel is a $type: only files, directories and links to files inside it are copied" ;;
		esac
	done < <(cd -- "$dir" && find . -mindepth 1 -print0 | sort -z)
	# What was checked may have changed under the copy: none of it is a link or a node.
	[[ -z $(find "$dest" -mindepth 1 ! -type f ! -type d -print -quit) ]] ||
		die "$opt $dir: changed while it was copied"
}

# --start: the disk as a previous installation left it. The sizes are fixed
# (the options' checks made sure that they fit); identifiers and times are
# fixed too, so that every run makes the same bytes.
make_start_disk() {
	local img=$S/disk.img id=0b0075ec-0000-4000-8000
	if [[ $start_state == /* ]]; then
		local err
		err=$(cp --sparse=always -- "$start_state" "$img" 2>&1) ||
			die "--start $start_state: cannot copy it into the scratch space (at most half the memory): ${err##*: }"
		return
	fi
	truncate -s $((disk_sectors * 512)) "$img" || die "cannot make the disk image"
	case $start_state in
	dos)
		write_table "$img" "label: dos
label-id: 0x$label_id
unit: sectors

start=2048, size=2097152, type=83, bootable
type=83"
		E2FSPROGS_FAKE_TIME=946684800 quiet mkfs.ext4 -q -F -L previous -U "$id-000000000001" \
			-E "offset=$((2048 * 512)),hash_seed=$id-000000000002,nodiscard" "$img" 1G
		;;
	gpt)
		write_table "$img" "label: gpt
label-id: ${id^^}-000000000000
unit: sectors
first-lba: 2048

start=2048, size=1048576, type=U, uuid=${id^^}-000000000001
type=L, uuid=${id^^}-000000000002"
		quiet mkfs.fat -F 32 --invariant -n EFI --offset 2048 -h 2048 "$img" $((1048576 / 2))
		;;
	esac
}

make_vantor() { # /root/vantor: the sandbox's files, then those of --vantor DIR
	local t=$S/.sandbox/template.img t16=$((size < 16 ? 16 : size > 4095 ? 4095 : size))
	local -x DISKBYTES=$diskbytes # put-bootcode reads the signature with it
	printf '<?xml version="1.0" encoding="UTF-8"?>\n<bootpartition>\n  <megabytesize>%s</megabytesize>\n</bootpartition>\n' \
		"$size" >"$S/vantor/bootpartition.xml"
	if ((raw_set)); then
		printf '%s' "$ssprimary_raw" >"$S/vantor/ssprimary"
	elif [[ $controller != - ]]; then
		printf '%s\n' "$controller" >"$S/vantor/ssprimary"
	fi
	# The FAT16 sample: sector 0 of a volume of the partition's size.
	truncate -s "${t16}M" "$t" && mkfat 16 "$t" "" && head -c 512 "$t" >"$S/vantor/dosboot.b" &&
		rm "$t" && quiet "$boot_tools/put-bootcode" FAT16 "$boot_bins/fat16.bin" "$S/vantor/dosboot.b" ||
		die "cannot make dosboot.b"
	# The FAT32 template: the boot area of another volume laid out like the
	# boot partition (same size and start, its own serial number and label).
	truncate -s $(((premade_start + psize) * 512)) "$t" &&
		mkfat 32 "$t" $((psize / 2)) -h "$premade_start" --offset "$premade_start" \
			"${fat32_layout[@]}" -i 7e3a1a7e -n TEMPLATE &&
		{ [[ $format != 32 ]] || place_files "$t"; } &&
		dd if="$t" bs=512 skip="$premade_start" count=6 status=none >"$S/vantor/dos98boot.b" &&
		rm "$t" && quiet "$boot_tools/put-bootcode" FAT32 "$boot_bins/fat32.bin" "$S/vantor/dos98boot.b" ||
		die "cannot make dos98boot.b"
	: >"$S/.sandbox/vantor.given"
	if [[ -n $vantor_dir ]]; then
		copy_data --vantor "$vantor_dir" "$S/vantor"
		ls -A -- "$vantor_dir" >"$S/.sandbox/vantor.given"
	fi
	ls -A "$S/vantor" | grep -vxF -f "$S/.sandbox/vantor.given" >"$S/.sandbox/vantor.made"
}

disk_file() { # NODE: file name under disks/ of a disk node
	local n=${1#/dev/}
	echo "${n//\//_}.img"
}

make_disks() { # following disks: 1 MiB, sector 0 "sandbox disk NODE " ... 55 aa
	local n f text name at
	read -r name at < <("$diskbytes" names signature) && at=${at%-*} || die "cannot run $diskbytes"
	for n in "${disk_nodes[@]}"; do
		f=$S/disks/$(disk_file "$n")
		text=
		while ((${#text} < at)); do text+="sandbox disk $n "; done
		{ printf '%s' "${text:0:at}" && printf '\125\252'; } >"$f" && truncate -s 1M "$f" ||
			die "cannot make $f"
	done
}

make_root() { # /root: a tmpfs with vantor/ and what the run needs from the real /root
	local p
	local -a needed=()
	# dosprep's sfdisk front end lives beside it (lib/dosprep/bin).
	for p in "$binary" "$preload" "$loop_helper" "$diskbytes" "${binary%/*}/lib" \
		"${binary%/*}/../lib/dosprep" "$boot_bins" "$boot_tools"; do
		[[ -e $p ]] || continue
		p=$(readlink -f -- "$p")
		[[ $p == /root/* ]] && needed+=("$p")
	done
	if ((${#needed[@]})); then
		mkdir "$S/.sandbox/from-root" || die "cannot copy from /root"
		for p in "${needed[@]}"; do
			mkdir -p "$S/.sandbox/from-root${p%/*}" &&
				cp -a -- "$p" "$S/.sandbox/from-root$p" || die "cannot copy $p"
		done
	fi
	mount -n -t tmpfs -o "mode=0700,$scratch_opts" sandbox-root /root || die "cannot mount a tmpfs on /root"
	if ((${#needed[@]})); then
		cp -a -- "$S/.sandbox/from-root/root/." /root/ && rm -rf "$S/.sandbox/from-root" ||
			die "cannot copy to /root"
	fi
	mkdir /root/vantor && mount -n --bind "$S/vantor" /root/vantor ||
		die "cannot bind /root/vantor"
}

bind_file() { # FILE NODE DEVDIR: FILE bound over a new NODE under DEVDIR
	local at=$3${2#/dev}
	mkdir -p "${at%/*}" && : >"$at" && mount -n --bind "$1" "$at"
}

make_dev() { # /dev: a tmpfs, populated, then moved over the real one
	local d=$S/.sandbox/dev n
	mount -n -t tmpfs -o mode=0755,nosuid,size=1m sandbox-dev "$d" || die "cannot mount a tmpfs for /dev"
	if ((as_root)); then
		mknod -m 666 "$d/null" c 1 3 && mknod -m 666 "$d/zero" c 1 5 &&
			mknod -m 666 "$d/full" c 1 7 && mknod -m 666 "$d/random" c 1 8 &&
			mknod -m 666 "$d/urandom" c 1 9 && mknod -m 666 "$d/tty" c 5 0 ||
			die "cannot make the nodes of /dev"
	else
		for n in null zero full random urandom tty; do
			: >"$d/$n" && mount -n --bind "/dev/$n" "$d/$n" || die "cannot bind /dev/$n"
		done
	fi
	ln -s /proc/self/fd "$d/fd"
	ln -s /proc/self/fd/0 "$d/stdin"
	ln -s /proc/self/fd/1 "$d/stdout"
	ln -s /proc/self/fd/2 "$d/stderr"
	if ((!no_disk)); then
		bind_file "$S/disk.img" "$boot" "$d" || die "cannot make $boot"
		ln -s "$boot" "$d/sssd"
		((no_partition)) || [[ $part_now == none ]] || partition_node "$d" || die "cannot make /dev/sssd1"
	fi
	for n in "${disk_nodes[@]}"; do
		bind_file "$S/disks/$(disk_file "$n")" "$n" "$d" || die "cannot make $n"
	done
	mount -n --move "$d" /dev || die "cannot move the new /dev in place"
}
