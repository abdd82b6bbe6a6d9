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
PASSED=0
FAILED=0
ROW=0
KEEP=

# Runs the binary with ARGS (an array) in a sandbox made from OPTS.
run_in() {
    local opts=$1 keep=$2
    shift 2
    if [ "$opts" = - ]; then
        "$BIN" "$@"
    else
        eval "set -- $opts -- \"\$@\""
        "$SANDBOX" --binary "$BIN" --keep "$keep" "$@"
    fi
}

expect_text() {  # VALUE FILE: writes the expected text of a row
    case $1 in
        @*) cat "$EXPECTED/${1#@}" >"$2" ;;
        *) printf '%b' "$1" >"$2" ;;
    esac
}

mask() { sed -E 's/0x[0-9a-f]{9,}/0xPTR/g' "$1"; }

report() {  # NAME WHAT EXPECTED_FILE ACTUAL_FILE
    echo "FAIL: $1: $2 differs (expected, then actual):"
    cat -A "$3" | sed 's/^/    - /'
    cat -A "$4" | sed 's/^/    + /'
}

pass_or_fail() {  # NAME OK
    if [ "$2" = 0 ]; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)); fi
}

check() {
    local name=$1 opts=$2 argline=$3 out=$4 err=$5 status=$6 merged=${7-}
    local d=$WORK/$ROW bad=0 rc
    ROW=$((ROW + 1))
    mkdir -p "$d"
    local -a args
    eval "args=($argline)"
    KEEP=$d/env
    run_in "$opts" "$KEEP" "${args[@]}" >"$d/out" 2>"$d/err" </dev/null
    rc=$?
    run_in "$opts" "$d/env2" "${args[@]}" 2>&1 </dev/null | cat >"$d/merged"
    expect_text "$out" "$d/x.out"
    expect_text "$err" "$d/x.err"
    if [ -n "$merged" ]; then
        expect_text "$merged" "$d/x.merged"
    elif [ ! -s "$d/x.out" ]; then
        cp "$d/x.err" "$d/x.merged"
    elif [ ! -s "$d/x.err" ]; then
        cp "$d/x.out" "$d/x.merged"
    else
        echo "FAIL: $name: the row needs its merged output"
        bad=1
    fi
    local what
    for what in out err merged; do
        mask "$d/$what" >"$d/m.$what"
        mask "$d/x.$what" >"$d/mx.$what"
        if ! cmp -s "$d/mx.$what" "$d/m.$what"; then
            report "$name" "std$what" "$d/mx.$what" "$d/m.$what"
            bad=1
        fi
    done
    if [ "$rc" != "$status" ]; then
        echo "FAIL: $name: exit status $rc, expected $status"
        bad=1
    fi
    pass_or_fail "$name" "$bad"
    [ "$bad" = 0 ]
}

# Hex of COUNT bytes of FILE from OFFSET, one line, blank separated.
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }

# expect NAME ACTUAL EXPECTED: a check of a file effect.
expect() {
    if [ "$2" = "$3" ]; then
        PASSED=$((PASSED + 1))
    else
        echo "FAIL: $1: got '$2', expected '$3'"
        FAILED=$((FAILED + 1))
    fi
}

finish() {
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" = 0 ]
}
