# Black-box harness, sourced by the t_*.sh tables. Each row runs the real
# binary twice, in a fresh sandbox each time: once with stdout and stderr
# captured apart, once with 2>&1 into one pipe, and compares all three
# captures and the exit status byte for byte.
#
#   check NAME SANDBOX_OPTS ARGS STDOUT STDERR STATUS [MERGED]
#
# SANDBOX_OPTS are options of sandbox/dosprep-sandbox ("-" runs the binary
# directly, outside any sandbox). ARGS is split like a shell line. STDOUT,
# STDERR and MERGED are printf %b strings, or @NAME for the file
# expected/NAME. MERGED may be left out when stdout or stderr is empty.
# Pointer values (%p) are shown as 0xPTR in both. After a row, $KEEP holds
# the environment of its first run (disk.img, vantor/, disks/).
set -u
BIN=${1:?usage: $0 path/to/dosprep}
SRC=${DOSPREP_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
SANDBOX=$SRC/sandbox/dosprep-sandbox
EXPECTED=$SRC/tests/blackbox/expected
if [ -n "${DOSPREP_BUILD:-}" ] && [ -z "${DOSPREP_PRELOAD:-}" ]; then
    export DOSPREP_PRELOAD=$DOSPREP_BUILD/sandbox/libdosprep-geometry.so
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dosprep-bb.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PASSED=0 FAILED=0 ROW=0 KEEP=
# $DD, among a row's sandbox options, makes /bin/dd print its statistics
# without the timing (the real dd is $WORK/realdd).
cp /bin/dd "$WORK/realdd"
printf '#!/bin/bash\n(exec -a "$0" %s "$@") 2>&1 >/dev/null | sed -E "s/ copied, .*/ copied/" >&2\n' \
    "$WORK/realdd" >"$WORK/dd" && chmod +x "$WORK/dd"
DD="--setup 'mount --bind $WORK/dd /bin/dd'"

run_in() {  # OPTS KEEP ARGS...: the binary, in a sandbox made from OPTS
    local opts=$1 keep=$2
    shift 2
    if [ "$opts" = - ]; then "$BIN" "$@"; return; fi
    eval "set -- $opts -- \"\$@\""
    "$SANDBOX" --binary "$BIN" --keep "$keep" "$@"
}

expect_text() { case $1 in @*) cat "$EXPECTED/${1#@}" ;; *) printf '%b' "$1" ;; esac >"$2"; }

check() {
    local name=$1 opts=$2 out=$4 err=$5 status=$6 merged=${7-} d=$WORK/$ROW bad=0 rc what
    local -a args
    ROW=$((ROW + 1)) KEEP=$d/env
    mkdir -p "$d"
    eval "args=($3)"
    run_in "$opts" "$KEEP" "${args[@]}" >"$d/out" 2>"$d/err" </dev/null
    rc=$?
    run_in "$opts" "$d/env2" "${args[@]}" 2>&1 </dev/null | cat >"$d/merged"
    expect_text "$out" "$d/x.out"
    expect_text "$err" "$d/x.err"
    if [ -n "$merged" ]; then expect_text "$merged" "$d/x.merged"
    elif [ ! -s "$d/x.out" ]; then cp "$d/x.err" "$d/x.merged"
    elif [ ! -s "$d/x.err" ]; then cp "$d/x.out" "$d/x.merged"
    else echo "FAIL: $name: the row needs its merged output"; bad=1
    fi
    for what in out err merged; do
        sed -E 's/0x[0-9a-f]{9,}/0xPTR/g' "$d/$what" >"$d/m.$what"
        sed -E 's/0x[0-9a-f]{9,}/0xPTR/g' "$d/x.$what" >"$d/mx.$what"
        if ! cmp -s "$d/mx.$what" "$d/m.$what"; then
            echo "FAIL: $name: std$what differs (expected, then actual):"
            cat -A "$d/mx.$what" | sed 's/^/    - /'
            cat -A "$d/m.$what" | sed 's/^/    + /'
            bad=1
        fi
    done
    [ "$rc" = "$status" ] || { echo "FAIL: $name: exit status $rc, expected $status"; bad=1; }
    if [ "$bad" = 0 ]; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)); fi
    [ "$bad" = 0 ]
}

# Hex of COUNT bytes of FILE from OFFSET, one line, blank separated.
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
# same F1 OFF1 F2 OFF2 N: "same" when the two ranges are equal.
same() { cmp -s -i "$2:$4" -n "$5" "$1" "$3" && echo same || echo differ; }
# The first partition of the kept disk image, as $WORK/part.img.
part() {
    local s n
    read -r s n < <(od -An -tu4 -j454 -N8 "$KEEP/disk.img")
    "$WORK/realdd" if="$KEEP/disk.img" of="$WORK/part.img" bs=512 skip="$s" count="$n" conv=sparse status=none
}

expect() {  # NAME ACTUAL EXPECTED: a check of a file effect
    if [ "$2" = "$3" ]; then PASSED=$((PASSED + 1)); else
        echo "FAIL: $1: got '$2', expected '$3'"
        FAILED=$((FAILED + 1))
    fi
}

finish() {
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" = 0 ]
}
