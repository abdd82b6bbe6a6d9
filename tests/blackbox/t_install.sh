# The installed tree: cmake --install with a prefix and DESTDIR puts every
# file in place, the installed tool runs, the manual page is the source's,
# the completion answers, and the installed sandbox finds its library.
. "$(dirname "$0")/harness.sh"

BUILD=${DOSPREP_BUILD:-$(dirname "$BIN")}
DEST=$WORK/dest
P=$DEST/opt/dp
DESTDIR=$DEST cmake --install "$BUILD" --prefix /opt/dp >"$WORK/install.log" 2>&1
expect "install runs" "$?" 0

mode() { if [ -e "$1" ]; then stat -c %A "$1"; else echo missing; fi; }
expect "tool"               "$(mode "$P/sbin/dosprep")" -rwxr-xr-x
expect "manual page"        "$(mode "$P/share/man/man8/dosprep.8.gz")" -rw-r--r--
expect "completion"         "$(mode "$P/share/bash-completion/completions/dosprep")" -rw-r--r--
expect "copyright"          "$(mode "$P/share/doc/dosprep/copyright")" -rw-r--r--
expect "nothing outside the prefix" "$(cd "$DEST" && ls)" opt
expect "installed --version" "$("$P/sbin/dosprep" --version)" "dosprep ver 0.5.11"
expect "page is the source's" "$(zcat "$P/share/man/man8/dosprep.8.gz" | cmp - "$SRC/docs/dosprep.8" && echo same)" same

# Completion: COMPREPLY for a command line whose last word is being typed.
mkdir -p "$WORK/files/sub"
touch "$WORK/files/alpha.b" "$WORK/files/beta.b"
complete_line() {
    (cd "$WORK/files" && bash -c '
        . "$1"; shift
        COMP_WORDS=(dosprep "$@"); COMP_CWORD=$#
        _dosprep; for w in "${COMPREPLY[@]}"; do echo "$w"; done | sort | tr "\n" " "' \
        _ "$P/share/bash-completion/completions/dosprep" "$@")
}
#                  name                          words                            expected
for row in "options:--w:--write16 --write32 " \
           "levels:--test --debug1:--debug1 " \
           "first file of --diff:--diff a:alpha.b " \
           "second file of --diff:--diff alpha.b b:beta.b " \
           "nothing after --diff's files:--diff alpha.b beta.b a:" \
           "file of --show:--test --show :alpha.b beta.b sub " \
           "--show ends the run:--show x --w:" \
           "operand of --show named like an option:--show --w:" \
           "files of --dos:--dos alpha.b :alpha.b beta.b sub " \
           "size of --dos:--dos alpha.b beta.b :" \
           "node of --bytewrite:--bytewrite /dev/nul:/dev/null " \
           "offset of --bytewrite:--bytewrite /dev/null :0x " \
           "nothing after --help:--help --w:" \
           "six arguments are ignored:a b c d e --w:"; do
    IFS=: read -r name line want <<<"$row"
    read -ra words <<<"$line"
    [ "${line: -1}" = " " ] && words+=("")
    expect "completion: $name" "$(complete_line "${words[@]}")" "$want"
done

# The sandbox, when this tree has one: installed with the tool, it finds its
# preload library and sfdisk front end there and rehearses a run.
if [ -e "$SRC/sandbox/dosprep-sandbox" ]; then
    expect "sandbox"         "$(mode "$P/sbin/dosprep-sandbox")" -rwxr-xr-x
    expect "sandbox page"    "$(mode "$P/share/man/man8/dosprep-sandbox.8.gz")" -rw-r--r--
    expect "preload library" "$(mode "$P/lib/dosprep/libdosprep-geometry.so")" -rw-r--r--
    expect "sfdisk front end" "$(mode "$P/lib/dosprep/bin/sfdisk")" -rwxr-xr-x
    # The geometry comes from the library; the old -S option only passes
    # through the sandbox's sfdisk.
    out=$("$P/sbin/dosprep-sandbox" --binary "$P/sbin/dosprep" --geometry 255/63/8924 \
          --check 'sfdisk -S 63 --dump /dev/sssd' -- --debug3 --test --write16 2>&1)
    expect "installed rehearsal" "$(grep -c 'getBootDriveSectorsPerTrack- = 3f' <<<"$out")" 1
    expect "installed sfdisk front end" "$(grep -c '^label: dos' <<<"$out")" 1
    # The rehearsal runs the tool installed beside it, not the one on PATH.
    mkdir -p "$WORK/fakebin"
    printf '#!/bin/sh\necho not this dosprep\n' >"$WORK/fakebin/dosprep"
    chmod +x "$WORK/fakebin/dosprep"
    out=$(PATH=$WORK/fakebin:$PATH "$P/sbin/dosprep-sandbox" -- --version 2>&1)
    expect "sandbox finds its tool" "$(head -1 <<<"$out")" "dosprep ver 0.5.11"
fi

finish
