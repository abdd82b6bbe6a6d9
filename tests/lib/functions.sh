# The test library that every suite sources: the black-box tables
# (tests/blackbox/t_*.sh, whose first argument is the dosprep binary), the
# sandbox self-check and the boot rows. A scratch directory $WORK, one
# expect and one tally, the sandbox as the one way to build a disk, and the
# black-box row check:
#   expect NAME ACTUAL EXPECTED
#   disk DIR SANDBOX_OPTS...  (the sandbox leaves DIR/disk.img and the rest)
#   check NAME SANDBOX_OPTS ARGS STDOUT STDERR STATUS [MERGED]
# runs the binary twice in a fresh sandbox ("-": outside any), with stdout and
# stderr apart, then 2>&1 into a pipe, and compares the three captures and the
# status byte for byte. ARGS splits like a shell line; texts are printf %b, or
# @NAME for expected/NAME, or "sha256 DIGEST" for a text too long to keep;
# MERGED may be left out when stdout or stderr is empty. Pointers (%p) read
# 0xPTR. $KEEP then holds the first run's environment. On-disk fields go by
# the names of src/disklayout.h, read by diskbytes (beside the geometry
# library; `diskbytes names` lists them):
#   fields FILE SECTOR NAME...       their values, as diskbytes prints them
#   field_bytes FILE SECTOR NAME...  their bytes, in hex
#   offset NAME                      a field's first byte in its sector
# Rows that list a trace by letters (a table's own LINES, one text a letter):
#   traced LEVEL LETTERS   the level's mode line, then each letter's text, LV read as LEVEL
set -u
BIN=${1-}
[[ $0 != */blackbox/* || -n $BIN ]] || { echo "usage: $0 path/to/dosprep"; exit 2; }
SRC=${DOSPREP_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
SANDBOX=$SRC/sandbox/dosprep-sandbox
EXPECTED=$SRC/tests/blackbox/expected
if [ -n "${DOSPREP_BUILD:-}" ] && [ -z "${DOSPREP_PRELOAD:-}" ]; then
    export DOSPREP_PRELOAD=$DOSPREP_BUILD/sandbox/libdosprep-geometry.so
fi
DISKBYTES=${DOSPREP_PRELOAD:-$SRC/build/sandbox/libdosprep-geometry.so}
DISKBYTES=${DISKBYTES%/*}/diskbytes
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dosprep-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PASSED=0 FAILED=0 ROW=0 KEEP=
# $DD among a row's sandbox options: /bin/dd prints its statistics without
# the timing (the real one is $WORK/realdd).
cp /bin/dd "$WORK/realdd"
printf '#!/bin/bash\n(exec -a "$0" %s "$@") 2>&1 >/dev/null | sed -E "s/ copied, .*/ copied/" >&2\n' \
    "$WORK/realdd" >"$WORK/dd" && chmod +x "$WORK/dd"
DD="--setup 'mount --bind $WORK/dd /bin/dd'"

skip_unless() { # TOOL...: the suite is skipped (77) when one is missing
    local tool
    for tool; do command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }; done
}
disk() { # DIR SANDBOX_OPTS...: a disk built by the sandbox, left in DIR
    "$SANDBOX" --keep "$1" "${@:2}" </dev/null >"$WORK/disk.log" 2>&1 || { cat "$WORK/disk.log"; return 1; }
}

run_in() {  # OPTS KEEP ARGS...
    local opts=$1 keep=$2
    shift 2
    if [ "$opts" = - ]; then "$BIN" "$@"; return; fi
    eval "set -- $opts -- \"\$@\""
    [[ " $opts " == *" --binary "* ]] || set -- --binary "$BIN" "$@"
    [[ " $opts " == *" --keep "* ]] || set -- --keep "$keep" "$@"
    "$SANDBOX" "$@"
}
mask() { sed -E 's/0x[0-9a-f]{9,}/0xPTR/g' "$@"; }
expected() { case $1 in @*) cat "$EXPECTED/${1#@}" ;; *) printf '%b' "$1" ;; esac | mask; }
tally() { if [ "$1" = 0 ]; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)); fi; return "$1"; }

check() {
    local name=$1 merged=${7-} d=$WORK/$ROW bad=0 rc what
    local -a args
    ROW=$((ROW + 1)) KEEP=$d/env
    mkdir -p "$d"
    eval "args=($3)"
    run_in "$2" "$KEEP" "${args[@]}" >"$d/out" 2>"$d/err" </dev/null
    rc=$?
    run_in "$2" "$d/env2" "${args[@]}" 2>&1 </dev/null | cat >"$d/merged"
    expected "$4" >"$d/x.out"
    expected "$5" >"$d/x.err"
    if [ -n "$merged" ]; then expected "$merged" >"$d/x.merged"
    elif [ ! -s "$d/x.out" ]; then cp "$d/x.err" "$d/x.merged"
    elif [ ! -s "$d/x.err" ]; then cp "$d/x.out" "$d/x.merged"
    else echo "FAIL: $name: the row needs its merged output"; bad=1
    fi
    for what in out err merged; do
        mask <"$d/$what" >"$d/m.$what"
        [ "$(head -c7 "$d/x.$what")" != "sha256 " ] || echo "sha256 $(sha256sum <"$d/m.$what" | cut -c1-64)" >"$d/m.$what"
        cmp -s "$d/x.$what" "$d/m.$what" && continue
        echo "FAIL: $name: std$what differs (expected, then actual):"
        cat -A "$d/x.$what" | sed 's/^/    - /'
        cat -A "$d/m.$what" | sed 's/^/    + /'
        bad=1
    done
    [ "$rc" = "$6" ] || { echo "FAIL: $name: exit status $rc, expected $6"; bad=1; }
    tally "$bad"
}
expect() {  # NAME ACTUAL EXPECTED: a check of a file effect
    [ "$2" = "$3" ] || echo "FAIL: $1: got '$2', expected '$3'"
    tally "$([ "$2" = "$3" ]; echo $?)"
}

# Hex of COUNT bytes of FILE from OFFSET, one line, blank separated.
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
# same F1 OFF1 F2 OFF2 N: "same" when the two ranges are equal.
same() { cmp -s -i "$2:$4" -n "$5" "$1" "$3" && echo same || echo differ; }
fields() {
    local name out=()
    for name in "${@:3}"; do out+=("$("$DISKBYTES" field "$1" "$name" "$2" 2>&1)"); done
    echo "${out[*]}"
}
span() { "$DISKBYTES" names "$1" | sed -nE 's/^[^ ]+ ([0-9]+)-([0-9]+)$/\1 \2/p'; }  # NAME: FIRST LAST
offset() { local s; s=$(span "$1") && echo "${s% *}"; }
field_bytes() {
    local name first last out=()
    for name in "${@:3}"; do
        read -r first last <<<"$(span "$name")"
        out+=("$(bytes "$1" $(($2 * 512 + first)) $((last - first + 1)))")
    done
    echo "${out[*]}"
}
# The first partition of the kept disk image, as $WORK/part.img.
part() {
    local s n
    read -r s n <<<"$(fields "$KEEP/disk.img" 0 partition1_start partition1_sectors)"
    "$WORK/realdd" if="$KEEP/disk.img" of="$WORK/part.img" bs=512 skip="$s" count="$n" conv=sparse status=none
}
# The sandbox of an installed tree (PREFIX) rehearses a run of the dosprep
# installed beside it, not the one on PATH, with its own geometry library:
# the FAT32 table lands through the sfdisk front end installed with it.
rehearses() {  # NAME PREFIX
    local fake=$WORK/fakebin out
    mkdir -p "$fake" && printf '#!/bin/sh\necho not this dosprep\n' >"$fake/dosprep" && chmod +x "$fake/dosprep"
    out=$(env -u DOSPREP_PRELOAD PATH="$fake:$PATH" "$2/sbin/dosprep-sandbox" --geometry 255/63/8924 \
          --size 2000 --report - -- --debug3 --sfdisk32 2>&1 </dev/null)
    expect "$1" "$(grep -c -e '^   Heads_255_ Sectors_63_ Cylinders_8924_' \
                   -e '^/dev/sssd1 : start=          63, size=     4096512, type=c, bootable$' <<<"$out")" 2
}
traced() {
    local i out="###    Debug Mode $1  ###\n"
    for ((i = 0; i < ${#2}; i++)); do out+=${LINES[${2:i:1}]}; done
    printf '%s' "${out//LV/$1}"
}
finish() { echo "$PASSED passed, $FAILED failed"; [ "$FAILED" = 0 ]; }
