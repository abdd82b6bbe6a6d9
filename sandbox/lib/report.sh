# The report of a run: readers of the disk image with the names of its
# layout, the snapshot taken before dosprep runs, and what changed after it
# (partition table, boot sector of partition 1, fsck.fat's verdict, the
# following disks' stamps, /root/vantor). Used by lib/inside.

readonly kOffsetBytesPerSector=11 kOffsetSectorsPerFat16=22 kOffsetSectorsPerTrack=24
readonly kOffsetHeads=26 kOffsetHiddenSectors=28 kOffsetDriveNumber16=36
readonly kOffsetSectorsPerFat32=36 kOffsetDriveNumber32=64 kOffsetDriveStamp=220
readonly kOffsetDiskId=440 kOffsetPartitionTable=446 kPartitionEntrySize=16
readonly kEntryType=4 kEntryStart=8 kEntrySectors=12 kOffsetSignature=510

le() { # FILE OFFSET BYTES: unsigned little-endian number at OFFSET
	local v
	v=$(od -An -tu"$3" --endian=little -j"$2" -N"$3" -- "$1" 2>/dev/null) || return 1
	v=${v//[[:space:]]/}
	echo "${v:-0}"
}

hex_bytes() { # FILE OFFSET COUNT
	local v
	v=$(od -An -tx1 -j"$2" -N"$3" -- "$1" 2>/dev/null)
	v=${v#"${v%%[![:space:]]*}"}
	echo "${v:-none}"
}

partition1() { # prints "START SIZE" of MBR entry 1 of the disk image, or "none"
	local type start size e=$kOffsetPartitionTable
	type=$(le "$S/disk.img" $((e + kEntryType)) 1) && start=$(le "$S/disk.img" $((e + kEntryStart)) 4) &&
		size=$(le "$S/disk.img" $((e + kEntrySectors)) 4) || {
		echo none
		return
	}
	if ((type == 0 || size == 0)); then echo none; else echo "$start $size"; fi
}

boot_fields() { # SECTOR: "SPT HEADS HIDDEN DRIVE16 DRIVE32 FAT32?" of the boot sector there
	local f=$S/disk.img o=$(($1 * 512)) fat32=0
	# No 16-bit FAT size but a 32-bit one: FAT32, drive number at 64.
	if (($(le "$f" $((o + kOffsetSectorsPerFat16)) 2) == 0 &&
		$(le "$f" $((o + kOffsetSectorsPerFat32)) 4) != 0)); then fat32=1; fi
	echo "$(le "$f" $((o + kOffsetSectorsPerTrack)) 2) $(le "$f" $((o + kOffsetHeads)) 2)" \
		"$(le "$f" $((o + kOffsetHiddenSectors)) 4) $(hex_bytes "$f" $((o + kOffsetDriveNumber16)) 1)" \
		"$(hex_bytes "$f" $((o + kOffsetDriveNumber32)) 1) $fat32"
}

vantor_snapshot() { # one "NAME<TAB>SHA256" line per entry of /root/vantor
	[[ -d /root/vantor ]] || return 0
	(
		cd /root/vantor || exit 0
		shopt -s nullglob dotglob
		for f in *; do
			if [[ -f $f && ! -L $f ]]; then
				h=$(sha256sum <"$f" 2>/dev/null) && h=${h%% *} || h=unreadable
			elif [[ -d $f ]]; then
				h=directory
			else
				h=other
			fi
			printf '%s\t%s\n' "$f" "$h"
		done
	)
}

snapshot_before() { # into .sandbox/*.before
	local n
	vantor_snapshot >"$S/.sandbox/vantor.before"
	boot_fields "$premade_start" >"$S/.sandbox/boot.before"
	for n in "${disk_nodes[@]}"; do
		hex_bytes "$S/disks/$(disk_file "$n")" $kOffsetDriveStamp 4
	done >"$S/.sandbox/disks.before"
}

span() { # NAME OFFSET BYTES: "NAME (FIRST-LAST)"
	echo "$1 ($2-$(($2 + $3 - 1)))"
}

write_report() {
	local line part start name h i=0 from
	local -a b a db
	local -A was
	echo "== partition table"
	while IFS= read -r line; do
		if [[ $line == device:* ]]; then
			echo "device: /dev/sssd -> $boot"
		else
			echo "${line//"$S/disk.img"/\/dev\/sssd}"
		fi
	done < <(/usr/sbin/sfdisk --dump "$S/disk.img" 2>&1)

	part=$(partition1)
	start=${part%% *}
	[[ $part == none ]] && start=$premade_start
	read -ra b <"$S/.sandbox/boot.before"
	read -ra a <<<"$(boot_fields "$start")"
	echo "== boot sector of partition 1 at sector $start (before -> after)"
	echo "$(span "sectors per track" $kOffsetSectorsPerTrack 2): ${b[0]} -> ${a[0]}"
	echo "$(span heads $kOffsetHeads 2): ${b[1]} -> ${a[1]}"
	echo "$(span "hidden sectors" $kOffsetHiddenSectors 4): ${b[2]} -> ${a[2]}"
	if ((a[5])); then
		echo "drive number ($kOffsetDriveNumber32, FAT32): ${b[4]} -> ${a[4]}"
	else
		echo "drive number ($kOffsetDriveNumber16, FAT16): ${b[3]} -> ${a[3]}"
	fi
	fsck_verdict

	echo "== following disks, bytes $kOffsetDriveStamp-$((kOffsetDriveStamp + 3)) (before -> after)"
	mapfile -t db <"$S/.sandbox/disks.before"
	for name in "${disk_nodes[@]}"; do
		echo "$name: ${db[i]} -> $(hex_bytes "$S/disks/$(disk_file "$name")" $kOffsetDriveStamp 4)"
		i=$((i + 1))
	done

	echo "== vantor files (sha256)"
	[[ -z $vantor_dir ]] || from=" ($vantor_dir)"
	echo "from --vantor${from-}: $(paste -sd' ' "$S/.sandbox/vantor.given" | grep . || echo none)"
	echo "made by the sandbox: $(paste -sd' ' "$S/.sandbox/vantor.made" | grep . || echo none)"
	while IFS=$'\t' read -r name h; do was[$name]=$h; done <"$S/.sandbox/vantor.before"
	while IFS=$'\t' read -r name h; do
		if [[ -z ${was[$name]+x} ]]; then
			echo "created $name $h"
		elif [[ ${was[$name]} != "$h" ]]; then
			echo "changed $name ${was[$name]} -> $h"
		fi
		unset "was[$name]"
	done < <(vantor_snapshot)
	for name in "${!was[@]}"; do echo "removed $name"; done | sort
}

# What fsck.fat -n says of partition 1, when its boot sector is a FAT one.
fsck_verdict() {
	local out rc
	[[ -e /dev/sssd1 ]] || return 0
	[[ $(hex_bytes /dev/sssd1 $kOffsetSignature 2) == "55 aa" &&
		$(le /dev/sssd1 $kOffsetBytesPerSector 2) == 512 ]] || return 0
	echo "== fsck.fat -n /dev/sssd1"
	out=$(fsck.fat -n /dev/sssd1 2>&1)
	rc=$?
	sed '1{/^fsck.fat [0-9]/d}' <<<"$out"
	if ((rc == 0)); then echo "clean"; else echo "not clean (status $rc)"; fi
}
