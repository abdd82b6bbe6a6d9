# Hostile inputs to the rehearsal, which runs as root: directories, --keep
# places, environment paths and disk nodes that would make it write, read or
# run something outside what the user named. Each row builds its input, and
# a host directory beside it ($HOST, with a root-only file) must come out of
# every row unchanged.
. "$(dirname "$0")/../lib/functions.sh"
SB() { "$SANDBOX" --binary "$BIN" "$@"; }
HOST=$WORK/host
mkdir -p "$HOST" && echo 'root only' >"$HOST/secret" && chmod 600 "$HOST/secret" && echo kept >"$HOST/file"
state() { find "$HOST" -printf '%p %m %u %s\n' | sort; cat "$HOST"/*; }
BEFORE=$(state)
host_unchanged() { expect "$1: the host's files unchanged" "$(state)" "$BEFORE"; }

# A run that must be refused: status 125 and a message naming the file.
# name | setup (shell, in the row's directory) | TMPDIR | sandbox options | message (a glob)
n=0
while IFS='|' read -r name setup tmp opts msg; do
    d=$WORK/r$((++n)) && mkdir -p "$d/v" && (cd "$d" && eval "$setup")
    eval "set -- $opts"
    err=$(cd "$d" && TMPDIR=${tmp:-$WORK} timeout 60 "$SANDBOX" --binary "$BIN" "$@" -- --sfdisk32 2>&1 >/dev/null </dev/null)
    rc=$?
    [[ $err == $msg ]] && err=matches
    expect "$name" "$rc $err" "125 matches"
    host_unchanged "$name"
done <<ROWS
link out of --vantor|ln -s $HOST/file v/dosboot.sfdisk; ln -s $HOST/secret v/dosboot.b||--vantor v --report r|dosprep-sandbox: --vantor $WORK/r1/v: dosboot.b is a link to $HOST/secret, not to a file inside $WORK/r1/v: *
node in --vantor|mknod v/dosboot.b b 7 0||--vantor v|dosprep-sandbox: --vantor $WORK/r2/v: dosboot.b is a block special file: only files, *
link to a directory|mkdir v/sub; ln -s sub v/dosboot.b||--vantor v|*: dosboot.b is a link to sub, not to a file inside *
FIFO in --files|mkfifo v/pipe||--files v|dosprep-sandbox: --files $WORK/r4/v: pipe is a fifo: *
root-only file linked from --files|mkdir v/a; ln -s $HOST/secret v/a/s||--files v|*: a/s is a link to $HOST/secret, not to a file inside *
--keep owned by nobody|mkdir k; chown nobody k||--keep k|dosprep-sandbox: --keep $WORK/r6/k: $WORK/r6/k belongs to nobody (uid 65534): *
--keep under a directory others write|mkdir p; chmod 777 p||--keep p/k|dosprep-sandbox: --keep $WORK/r7/p/k: others can write to $WORK/r7/p (mode 777): *
TMPDIR owned by nobody|mkdir t; chown nobody t|$WORK/r8/t|--report -|dosprep-sandbox: TMPDIR $WORK/r8/t: $WORK/r8/t belongs to nobody *
ROWS
expect "--keep owned by nobody: left empty" "$(ls -A "$WORK/r6/k")" ""

# A link that stays inside --vantor is followed: its target's content is
# copied and the report names it.
d=$WORK/inside && mkdir -p "$d/v/img" && printf 'ATA\n' >"$d/v/img/primary" && ln -s img/primary "$d/v/ssprimary"
SB --vantor "$d/v" --keep "$d/k" --report "$d/report" -- --debug6 >"$d/out" 2>&1
expect "link inside --vantor: followed" "$(grep -c -e '__String_ATA__' -e "^--vantor $d/v: ssprimary -> img/primary$" \
    "$d/out" "$d/report" | paste -sd' ')" "$d/out:1 $d/report:1"
expect "link inside --vantor: a file in the sandbox" "$(stat -c %F "$d/k/vantor/ssprimary")" "regular file"
# What is kept and reported is the caller's alone.
expect "kept modes" "$(find "$d/k" "$d/report" -printf '%m %y\n' | sort -u | paste -sd' ')" "600 f 700 d"
host_unchanged "kept"

# A relative TMPDIR is made absolute; the report is delivered.
(cd "$WORK" && TMPDIR=. "$SANDBOX" --binary "$BIN" --report - -- --geodisk >"$WORK/rel.out" 2>&1 </dev/null)
expect "relative TMPDIR" "$? $(grep -c '^== ' "$WORK/rel.out") $(ls "$WORK" | grep -c dosprep-sandbox)" "0 6 0"

# The sfdisk front end with a FIFO for a disk: it does not wait for a writer
# to read the disk identifier; the next sfdisk gets the table unchanged.
fake=$WORK/fake && mkdir -p "$fake" && mkfifo "$WORK/fifo"
printf '#!/bin/sh\n[ "$1" = --version ] && echo "sfdisk from util-linux 2.38.1" && exit 0\ncat >%s\n' \
    "$WORK/got" >"$fake/sfdisk" && chmod +x "$fake/sfdisk"
printf 'start=63, size=100, type=c\n' | PATH=$fake:$PATH timeout 10 "$(dirname "$BIN")/lib/dosprep/bin/sfdisk" \
    --force "$WORK/fifo" >/dev/null 2>&1
expect "front end on a FIFO" "$? $(paste -sd';' "$WORK/got")" "0 label: dos;start=63, size=100, type=c"
host_unchanged "front end"
finish
