# /dev/sssd1 as a file, partition.img, bound over the node: a copy of the
# partition's sectors, copied back into the disk image after each command
# and afresh out of it, so that a dd that truncated the file leaves it whole
# again, as a device would be. Needs no loop device, nor root.

copy_into_file() { # START SIZE: the partition's sectors into partition.img
	: >"$S/partition.img" &&
		truncate -s $(($2 * 512)) "$S/partition.img" &&
		dd if="$S/disk.img" of="$S/partition.img" bs=1M conv=notrunc,sparse status=none \
			iflag=skip_bytes,count_bytes skip=$(($1 * 512)) count=$(($2 * 512))
}

copy_back_file() { # START: partition.img, over its length, back into the image
	local len
	len=$(stat -c %s "$S/partition.img") || return 1
	((len > 0)) || return 0
	# Holes first, then only the non-zero blocks: exact, and stays sparse.
	fallocate --punch-hole --keep-size -o $(($1 * 512)) -l "$len" "$S/disk.img" &&
		dd if="$S/partition.img" of="$S/disk.img" bs=64K conv=notrunc,sparse status=none \
			oflag=seek_bytes seek=$(($1 * 512))
}

partition_open() { # START SIZE, or none
	[[ $1 == none ]] || copy_into_file "$@"
}

partition_node() { # DEVDIR: its sssd1, partition.img bound over it
	bind_file "$S/partition.img" /dev/sssd1 "$1"
}

partition_flush() { :; }

partition_follow() { # OLD NEW: "START SIZE" or "none" each
	[[ $1 == none || ! -e $S/partition.img ]] || copy_back_file "${1%% *}" || return 1
	if [[ $2 == none ]]; then
		umount -n /dev/sssd1 2>/dev/null
		rm -f /dev/sssd1 "$S/partition.img"
	else
		copy_into_file $2 || return 1
		mountpoint -q /dev/sssd1 || { rm -f /dev/sssd1 && partition_node /dev; }
	fi
}

partition_keep() { # DIR
	[[ ! -e $S/partition.img ]] || cp -a --sparse=always -- "$S/partition.img" "$1/"
}
