# The steps of a rehearsal, one file for both machines: the simulated one
# (lib/inside, bash) and the VM's guest (vm/init, busybox sh), so POSIX sh.
# Runs the setup commands (stopping at the first that fails), the dosprep
# under test, the --after commands (installer steps after it) and the check
# commands, all from /, and records in $rec what the report is made from:
#   WHAT.N.cmd, WHAT.N.out, WHAT.N.status   each --setup, --after and --check
#                   command
#   dosprep.status (and dosprep.out, or dosprep.stdout and dosprep.stderr,
#                   when dosprep's output is captured)
#   table.start, table.before, table.after  sfdisk --dump of the boot disk
#                   before the setups, before dosprep and after it
#   boot.before, boot.after   partition 1's first sector before and after
#                   dosprep (and .sector: where it was read, or "none")
#   vantor.before, vantor.after   NAME<TAB>SHA256 of /root/vantor's entries
# The machine running it sets, before run_steps:
#   rec             the record directory
#   steps_in        the commands: setup.N, after.N and check.N files, N from 1
#   step_shell      the shell that runs each command (sh -c CMD)
#   disk_dev        what sfdisk and dd read for the boot disk
#   fallback_sector the sector read as partition 1's when there is none
#   dosprep_capture none (straight through), merged or apart
# and defines:
#   step_exec CMD...        runs a command in a child, as the machine needs
#   step_dosprep ARGS...    execs the dosprep under test (in a child)
#   step_before WHAT N      before each --setup, --after and --check command
#   step_after WHAT N       after each command and dosprep (WHAT dosprep, N 0):
#                           what the machine must follow
#   step_before_dosprep     after the setups, before dosprep

# The entries of /root/vantor, NAME<TAB>SHA256 ("directory" or "other" for
# what is not a regular file).
vantor_snapshot() {
	(
		cd /root/vantor 2>/dev/null || exit 0
		for f in * .[!.]* ..?*; do
			[ -e "$f" ] || [ -L "$f" ] || continue
			if [ -f "$f" ] && [ ! -L "$f" ]; then
				h=$(sha256sum <"$f" 2>/dev/null) && h=${h%% *} || h=unreadable
			elif [ -d "$f" ] && [ ! -L "$f" ]; then
				h=directory
			else
				h=other
			fi
			printf '%s\t%s\n' "$f" "$h"
		done | LC_ALL=C sort
	)
}

disk_table() { # NAME: the boot disk's table into $rec/table.NAME
	sfdisk --dump "$disk_dev" >"$rec/table.$1" 2>&1
}

# Partition 1's first sector as the table on the disk has it (or the
# fallback sector when it has none) into $rec/boot.WHEN.
partition1_sector() { # WHEN
	s=$(sed -n "s#^${disk_dev}p\{0,1\}1 : start= *\([0-9]*\),.*#\1#p" "$rec/table.$1")
	echo "${s:-none}" >"$rec/boot.$1.sector"
	dd if="$disk_dev" of="$rec/boot.$1" bs=512 skip="${s:-$fallback_sector}" count=1 2>/dev/null
}

run_list() { # WHAT stop|all: the commands of $steps_in/WHAT.N in order
	n=1
	while [ -f "$steps_in/$1.$n" ]; do
		cp "$steps_in/$1.$n" "$rec/$1.$n.cmd"
		step_before "$1" "$n"
		(cd / && step_exec "$step_shell" -c "$(cat "$steps_in/$1.$n")") </dev/null >"$rec/$1.$n.out" 2>&1
		st=$?
		echo "$st" >"$rec/$1.$n.status"
		step_after "$1" "$n"
		[ "$st" -eq 0 ] || [ "$2" != stop ] || return 1
		n=$((n + 1))
	done
	return 0
}

run_dosprep() { # ARGS...
	case $dosprep_capture in
	merged) (cd / && step_dosprep "$@") </dev/null >"$rec/dosprep.out" 2>&1 ;;
	apart) (cd / && step_dosprep "$@") </dev/null >"$rec/dosprep.stdout" 2>"$rec/dosprep.stderr" ;;
	*) (cd / && step_dosprep "$@") ;;
	esac
	echo $? >"$rec/dosprep.status"
}

# The whole run; status 1 when a setup or --after command failed ($rec/failed
# says which kind; its record is the last of that kind), 0 otherwise.
run_steps() { # DOSPREP-ARGS...
	disk_table start
	run_list setup stop || { echo setup >"$rec/failed" && return 1; }
	disk_table before
	partition1_sector before
	vantor_snapshot >"$rec/vantor.before"
	step_before_dosprep
	run_dosprep "$@"
	step_after dosprep 0
	disk_table after
	partition1_sector after
	vantor_snapshot >"$rec/vantor.after"
	run_list after stop || { echo after >"$rec/failed" && return 1; }
	run_list check all
	return 0
}
