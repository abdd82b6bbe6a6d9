# The report of a run: readers of the disk image (its fields through
# diskbytes, partition 1 as util-linux reads the table), the snapshot taken
# before dosprep runs, the warnings about its inputs, each command's output
# and status, and what changed (partition table before and after, boot
# sector of partition 1, fsck.fat's verdict, the following disks' stamps,
# /root/vantor). Used by lib/inside.

part_dev=/dev/sssd1 # where fsck.fat and the FAT checks read partition 1

# The fields come from diskbytes (src/disklayout.h names their offsets).
at() { # FIELD: where it lies in its sector, "FIRST-LAST", or FIRST for a byte
	local name range
	read -r name range < <("$diskbytes" names "$1") && [[ $name == "$1" ]] || return 1
	[[ ${range%-*} == "${range#*-}" ]] && range=${range%-*}
	echo "$range"
}

stamp() { # FILE: its drive stamp bytes in hex, or none
	"$diskbytes" field "$1" drive_stamp 2>/dev/null || echo none
}

# Partition 1 of the disk image as util-linux reads the table (MBR or GPT,
# as the kernel does): "START SIZE" in sectors, or "none".
partition1() { # [IMAGE]
	local p
	p=$(partx -g -n 1 -o START,SECTORS -- "${1:-$S/disk.img}" 2>/dev/null) &&
		[[ $p =~ ^\ *([0-9]+)\ +([0-9]+)\ *$ ]] && ((BASH_REMATCH[2] > 0)) || {
		echo none
		return
	}
	echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

partition_table() { # DUMP: a table the run recorded, under the names dosprep sees
	local line dev
	dev=$(<"$rec/disk.dev")
	while IFS= read -r line; do
		if [[ $line == device:* ]]; then
			echo "device: /dev/sssd -> $(<"$rec/boot.node")"
		else
			echo "${line//"$dev"/\/dev\/sssd}"
		fi
	done <"$1"
}

boot_fields() { # SECTOR [FILE]: "SPT HEADS HIDDEN DRIVE16 DRIVE32 FAT32?" of the boot sector there
	local name range value
	local -A f=([sectors_per_track]=none [heads]=none [hidden_sectors]=none [drive_number16]=none
		[drive_number32]=none [fat_type]=FAT16)
	# fat_type is diskbytes' FAT32 rule: no 16-bit FAT size, and a 32-bit one
	# or 55 aa (dosprep's FAT32 boot area, written over a partition with no
	# file system, leaves the 32-bit FAT size at 0). A sector past the end of
	# the file reads as none.
	while read -r name range value; do
		f[$name]=$value
	done < <("$diskbytes" boot "${2:-$S/disk.img}" "$1" 2>/dev/null)
	echo "${f[sectors_per_track]} ${f[heads]} ${f[hidden_sectors]} ${f[drive_number16]} ${f[drive_number32]}" \
		"$([[ ${f[fat_type]} == FAT32 ]] && echo 1 || echo 0)"
}

# The report, from the record of the run ($rec) and the disk as the run left
# it: the machine's own lines, the warnings, the table before the run, the
# setup commands, and what the run changed.
write_report() {
	local start name h from opt
	local -a b a
	local -A was
	if [[ -f $rec/kernel ]]; then
		echo "== kernel $(<"$rec/kernel"), boot disk on $(<"$rec/driver") as $(<"$rec/boot.node")," \
			"HDIO_GETGEO $(<"$rec/geometry")"
		[[ ! -s $rec/busy ]] || echo "== partition 1 kept busy during the setup and dosprep: $(<"$rec/busy")"
		[[ ! -s $rec/linkage ]] || echo "== dosprep: $(<"$rec/linkage")"
	fi
	if [[ -s $rec/warnings ]]; then
		echo "== warnings"
		cat "$rec/warnings"
	fi
	echo "== partition table before the run"
	partition_table "$rec/table.start"
	command_sections setup
	echo "== partition table after the run"
	partition_table "$rec/table.after"
	[[ ! -f $rec/part1 ]] || kernel_view
	[[ ! -f $rec/geometry ]] || geometry_warnings

	start=$(<"$rec/boot.after.sector")
	if [[ $start != none ]]; then
		echo "== boot sector of partition 1 at sector $start (before -> after)"
	else
		echo "== boot sector at sector $premade_start, there being no partition 1 (before -> after)"
	fi
	read -ra b <<<"$(boot_fields 0 "$rec/boot.before")"
	read -ra a <<<"$(boot_fields 0 "$rec/boot.after")"
	echo "sectors per track ($(at sectors_per_track)): ${b[0]} -> ${a[0]}"
	echo "heads ($(at heads)): ${b[1]} -> ${a[1]}"
	echo "hidden sectors ($(at hidden_sectors)): ${b[2]} -> ${a[2]}"
	if ((a[5])); then
		echo "drive number ($(at drive_number32), FAT32): ${b[4]} -> ${a[4]}"
	else
		echo "drive number ($(at drive_number16), FAT16): ${b[3]} -> ${a[3]}"
	fi
	fsck_verdict

	if [[ -f $rec/disks.before ]]; then # the VM has no following disks
		echo "== following disks, bytes $(at drive_stamp) (before -> after)"
		while read -r name h; do
			echo "$name: $h -> $(stamp "$S/disks/$(disk_file "$name")")"
		done <"$rec/disks.before"
	fi

	echo "== vantor files (sha256)"
	[[ -z $vantor_dir ]] || from=" ($vantor_dir)"
	echo "from --vantor${from-}: $(paste -sd' ' "$S/.sandbox/vantor.given" | grep . || echo none)"
	echo "made by the sandbox: $(paste -sd' ' "$S/.sandbox/vantor.made" | grep . || echo none)"
	while IFS=$'\t' read -r name h; do was[$name]=$h; done <"$rec/vantor.before"
	while IFS=$'\t' read -r name h; do
		if [[ -z ${was[$name]+x} ]]; then
			echo "created $name $h"
		elif [[ ${was[$name]} != "$h" ]]; then
			echo "changed $name ${was[$name]} -> $h"
		fi
		unset "was[$name]"
	done <"$rec/vantor.after"
	for name in "${!was[@]}"; do echo "removed $name"; done | sort
	if [[ -s $S/.sandbox/links ]]; then
		echo "== links followed (their targets' content copied)"
		while IFS=$'\t' read -r opt name h; do
			[[ $opt == --vantor ]] && from=$vantor_dir || from=$files_dir
			echo "$opt $from: $name -> $h"
		done <"$S/.sandbox/links"
	fi
	command_sections after
}

# What fsck.fat -n says of partition 1, when its boot sector is a FAT one.
fsck_verdict() {
	local out rc
	echo "== fsck.fat -n /dev/sssd1"
	if [[ ! -e $part_dev ]] || [[ $(partition1) == none ]]; then
		echo "not run: there is no partition 1"
		return
	fi
	fat_partition1 || { echo "not run: partition 1 holds no FAT file system"; return; }
	out=$(fsck.fat -n "$part_dev" 2>&1)
	rc=$?
	out=${out//"$part_dev"/\/dev\/sssd1}
	sed '1{/^fsck.fat [0-9]/d}' <<<"$out"
	if ((rc == 0)); then echo "clean"; else echo "not clean (status $rc)"; fi
}

fat_partition1() { # true when /dev/sssd1 starts with a FAT boot sector
	[[ -e $part_dev && $("$diskbytes" field "$part_dev" signature 2>/dev/null) == "55 aa" &&
		$("$diskbytes" field "$part_dev" bytes_per_sector 2>/dev/null) == 512 ]]
}

# Each --setup or --check command, its output and its status, from the
# record: WHAT.N.cmd, .out, .status and .note (if any).
command_sections() { # WHAT
	local cmd n=1 f
	while f=$rec/$1.$n && [[ -f $f.status ]]; do
		cmd=$(<"$f.cmd")
		echo "== $1: ${cmd//$'\n'/ }"
		cat "$f.out"
		[[ -z $(tail -c1 "$f.out") ]] || echo # a last line without its line end
		[[ ! -e $f.note ]] || cat "$f.note"
		echo "status $(<"$f.status")"
		n=$((n + 1))
	done
}

command_output() { # WHAT: the output of every command, one after the other
	local f n=1
	while f=$rec/$1.$n.out && [[ -f $f ]]; do
		cat "$f"
		n=$((n + 1))
	done
}

# A setup or --after command failed: the last of its kind in the record.
# What it printed goes to standard error, and the rehearsal ends with 125.
command_failed() {
	local what n=1
	what=$(<"$rec/failed")
	while [[ -f $rec/$what.$((n + 1)).status ]]; do n=$((n + 1)); done
	printf '%s: %s command failed (status %s): %s\n' "$prog" "$what" "$(<"$rec/$what.$n.status")" \
		"$(<"$rec/$what.$n.cmd")" >&2
	cat "$rec/$what.$n.out" >&2
	exit 125
}

# Partition 1 as the kernel saw it after dosprep, and a warning when the
# table on the disk says otherwise: the kernel kept its old partition (it
# could not re-read the table), and what went to /dev/sssd1 went there.
kernel_view() {
	local kernel disk
	kernel=$(<"$rec/part1") disk=$(partition1)
	if [[ $kernel == none ]]; then
		echo "== partition 1 as the kernel sees it: none"
	else
		echo "== partition 1 as the kernel sees it: start ${kernel% *}, size ${kernel#* }"
	fi
	[[ $kernel == "$disk" ]] && return
	[[ $disk == none ]] && disk="no partition 1" || disk="start ${disk% *}, size ${disk#* }"
	echo "warning: the table on the disk has $disk: the kernel did not take the new table," \
		"and what went to /dev/sssd1 went to the kernel's partition 1"
}

# Warnings from what the kernel's driver reported (the record's geometry,
# HDIO_GETGEO's H/S/C, and disk.sectors, the disk's size as the kernel has
# it): a cylinder count that does not cover the disk, sectors per track that
# dosprep's FAT32 boot area does not keep, and a partition 1 at dosprep's
# start (the sectors per track) smaller than bootpartition.xml asks for.
geometry_warnings() {
	local h s c disk full line xml=$S/vantor/bootpartition.xml mb part size_re='^[^<]*<[^<>]*>0*([0-9]{1,7})<'
	[[ $(<"$rec/geometry") =~ ^([0-9]+)/([0-9]+)/([0-9]+)$ ]] || return 0
	h=${BASH_REMATCH[1]} s=${BASH_REMATCH[2]} c=${BASH_REMATCH[3]}
	disk=$(cat -- "$rec/disk.sectors" 2>/dev/null) && [[ $disk =~ ^[0-9]{1,15}$ ]] ||
		disk=$(($(stat -c %s -- "$S/disk.img") / 512))
	full=$((h && s ? disk / (h * s) : 0))
	if ((c < full)); then
		line="the count falls short"
		((full > 65535 && c == full % 65536)) && line="the 16-bit count wrapped"
		echo "warning: HDIO_GETGEO gives $c cylinders for the disk's $disk sectors, which make $full cylinders" \
			"of $h/$s: $line"
	fi
	if ((s && s != 63 && s != 32)); then
		echo "warning: HDIO_GETGEO gives $s sectors per track, neither 63 nor 32: dosprep starts partition 1 at" \
			"sector $s, but its FAT32 boot area (--write32) gets 32 sectors per track and 32 hidden sectors"
	fi
	# The size as dosprep read it: bootpartition.xml's first <megab line, when
	# the file is the one the record saw before dosprep (plain digits only).
	[[ -f $xml && $(grep -aF -m1 '<megab' "$xml") =~ $size_re ]] || return 0
	mb=$((10#${BASH_REMATCH[1]}))
	grep -qxF "bootpartition.xml"$'\t'"$(sha256sum <"$xml" | cut -d ' ' -f 1)" "$rec/vantor.before" || return 0
	part=$(sed -n "s#^$(<"$rec/disk.dev")p\\{0,1\\}1 : start= *\\([0-9]*\\), size= *\\([0-9]*\\),.*#\\1 \\2#p" \
		-- "$rec/table.after")
	[[ $part == "$s "* ]] && ((${part#* } < mb * 2048)) || return 0
	line=''
	((s < 16 || c < 100 || h < 1)) &&
		line=": dosprep makes it 100 MB (204800 sectors) for fewer than 16 sectors per track, 100 cylinders or 1 head"
	echo "warning: partition 1 has ${part#* } sectors, fewer than the $mb MB ($((mb * 2048)) sectors)" \
		"bootpartition.xml asks for$line"
}

# Warnings: inputs that dosprep reads in a way a person may not expect. What
# dosprep makes of them comes from its own trace (a --geodisk run at level
# 6, TRACE), not from a second reading here: the controller word and type,
# the megabytes, and the partition it would make.
input_warnings() { # TRACE
	local line word='' type='' mb='' pstart='' psize_made='' nodata=0 xml=/root/vantor/bootpartition.xml
	local value digits from='' bytes disk premade="the pre-made partition 1 and " fallback=''
	while IFS= read -r line; do
		if [[ $line =~ ^\ {7}__String_(.*)__nBootType_(-?[0-9]+)__nIsATA_[0-9]+__$ ]]; then
			word=${BASH_REMATCH[1]} type=${BASH_REMATCH[2]}
		elif [[ $line =~ ^\ {3}CylinderBoundry\((-?[0-9]+),\ (-?[0-9]+),\ (-?[0-9]+),\ (-?[0-9]+)\) ]]; then
			mb=${BASH_REMATCH[4]}
		elif [[ $line =~ ^\ {5}/dev/sssd1\ :\ start=\ +(-?[0-9]+),\ size=\ (-?[0-9]+), ]]; then
			pstart=${BASH_REMATCH[1]} psize_made=${BASH_REMATCH[2]}
		elif [[ $line == "Error: dosprep could not find data"* ]]; then
			nodata=1
		elif [[ $line =~ ^Error:\ dosprep\ partition\ size\ (-?[0-9]+)\ MB\ gives\ no\ valid\ sector\ count ]]; then
			fallback=${BASH_REMATCH[1]}
		fi
	done < <(cat -- "$1" "$1.err" 2>/dev/null)

	# The value as written, for the message (the number is dosprep's), and
	# its digits without leading zeros.
	line=$(grep -a -m1 -F '<megab' "$xml" 2>/dev/null | tr -d '\r')
	value=$(sed -n 's/^[^<]*<[^<>]*>\([^<]*\).*/\1/p' <<<"$line")
	digits=${value#"${value%%[!0]*}"}
	if ((nodata)) && [[ -n $psize_made ]]; then
		if [[ -n $line ]]; then line="line \"$(visible "$line")\""; else line="no <megabytesize> line"; fi
		echo "warning: dosprep finds no size in bootpartition.xml ($line) and makes partition 1 $psize_made sectors"
	elif [[ -n $mb && ! $value =~ ^[0-9]+$ ]]; then
		echo "warning: <megabytesize> \"$(visible "$value")\" is not plain digits: dosprep makes $mb MB of it${psize_made:+ ($psize_made sectors)}"
	elif [[ -n $mb && ${digits:-0} != "$mb" ]]; then
		echo "warning: <megabytesize> $value does not fit 32 bits: dosprep makes $mb MB of it${psize_made:+ ($psize_made sectors)}"
	elif [[ -n $fallback ]]; then
		if ((fallback == 0)); then
			line="asks for no space"
		else
			line="gives $fallback MB, whose sectors, rounded up to whole cylinders, do not fit 32 bits"
		fi
		echo "warning: <megabytesize> $(visible "$value") $line: dosprep makes partition 1 its default size," \
			"${psize_made:-4292902} sectors"
	elif [[ -n $mb && $mb != "$size" ]]; then
		grep -qxF bootpartition.xml "$S/.sandbox/vantor.given" && from=" (from --vantor $vantor_dir)"
		[[ -z $start_state ]] || premade=
		echo "warning: bootpartition.xml$from asks for $mb MB, while --size made ${premade}the volume of dos98boot.b $size MB"
	fi

	disk=$(($(stat -c %s "$S/disk.img" 2>/dev/null || echo 0) / 512))
	if ((!no_disk)) && [[ -n $pstart ]] && ((pstart < 0 || psize_made < 1 || pstart + psize_made > disk)); then
		echo "warning: the partition dosprep makes (start $pstart, $psize_made sectors) does not fit the disk of $disk sectors"
	fi
	if [[ -f /root/vantor/dos98boot.b ]] && bytes=$(stat -c %s /root/vantor/dos98boot.b) && ((bytes < 3072)); then
		echo "warning: dos98boot.b has $bytes bytes, less than the 6 sectors (3072 bytes) of the FAT32 boot area that dosprep writes from it"
	fi
	if [[ -f /root/vantor/dosboot.b ]] && bytes=$(stat -c %s /root/vantor/dosboot.b) && ((bytes < 512)); then
		echo "warning: dosboot.b has $bytes bytes, less than the sector (512 bytes) that dosprep writes from it"
	fi
	if [[ -e /root/vantor/ssprimary && $type == 0 ]]; then
		echo "warning: ssprimary's first line \"$(visible "$word")\" names no known controller (KLARN, TOVRIXAR, SCSI, ATA): dosprep takes it as none and stamps no drive numbers"
	fi
}

visible() { # TEXT, with control characters and other bytes as C escapes
	printf '%s\n' "$1" | LC_ALL=C sed -n 'l 0' | sed 's/\$$//'
}
