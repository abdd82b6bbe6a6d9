# /dev/sssd1 as a loop device over partition 1 of the disk image: one device,
# attached once with autoclear and held open on $loop_fd by lib/inside, so
# that it is freed when the inside ends, however it ends; when partition 1
# moves, the same device is pointed at its new sectors.

# START SIZE: a free loop device over those sectors; "none": one held over
# sector 0 for a partition 1 that a command may yet make.
partition_open() {
	local n rc try
	[[ $1 != none ]] || set -- 0 1
	for try in 1 2 3 4 5; do
		n=$("$loop_helper" free) && exec {loop_fd}<>"/dev/loop$n" || return 1
		"$loop_helper" attach "$loop_fd" "$S/disk.img" $(($1 * 512)) $(($2 * 512))
		rc=$?
		if ((rc == 0)); then
			loop_majmin=$(stat -c '%Hr %Lr' "/dev/loop$n")
			return
		fi
		exec {loop_fd}<&-
		((rc == 2)) || return 1 # 2: taken by someone else meanwhile
	done
	return 1
}

partition_node() { # DEVDIR: its sssd1, a node of the loop device
	mknod -m 660 "$1/sssd1" b $loop_majmin
}

partition_flush() { # writes through the device into the disk image
	[[ -b /dev/sssd1 ]] && blockdev --flushbufs /dev/sssd1 2>/dev/null
	return 0
}

partition_follow() { # OLD NEW: "START SIZE" or "none" each
	[[ $2 == "$1" ]] && return 0
	partition_flush
	rm -f /dev/sssd1
	[[ $2 == none ]] && return 0
	set -- $2
	"$loop_helper" move "$loop_fd" $(($1 * 512)) $(($2 * 512)) && partition_node /dev
}

partition_keep() { :; } # DIR: the device leaves nothing to keep
