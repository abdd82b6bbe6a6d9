# The installed tree: cmake --install with a prefix and DESTDIR puts every
# file in place, the installed tool runs, the manual page is the source's,
# the completion answers, and the installed sandbox finds its library.
. "$(dirname "$0")/../lib/functions.sh"

DEST=$WORK/dest P=$WORK/dest/opt/dp
DESTDIR=$DEST cmake --install "${DOSPREP_BUILD:-$(dirname "$BIN")}" --prefix /opt/dp >"$WORK/install.log" 2>&1
expect "install runs" "$?" 0
# Every file under the prefix with its mode, nothing outside it.
expect "installed files" "$(cd "$DEST" && find . ! -type d -printf '%M %P\n' | sed 's| opt/dp/| |' | sort -k2)" "$(cat "$EXPECTED/installed-files")"
expect "installed --version" "$("$P/sbin/dosprep" --version)" "dosprep ver 0.5.11"
expect "page is the source's" "$(zcat "$P/share/man/man8/dosprep.8.gz" | cmp - "$SRC/docs/dosprep.8" && echo same)" same

# Completion: COMPREPLY for a command line whose last word is being typed.
mkdir -p "$WORK/files/sub" && touch "$WORK/files/alpha.b" "$WORK/files/beta.b"
complete_line() {  # COMMAND WORDS...
    local cmd=$1; shift
    (cd "$WORK/files" && bash -c '. "$1"; cmd=$2; shift 2; COMP_WORDS=("$cmd" "$@"); COMP_CWORD=$#
        "$(complete -p "$cmd" | sed "s/.*-F \([^ ]*\) .*/\1/")"
        for w in "${COMPREPLY[@]}"; do echo "$w"; done | sort | tr "\n" " "' _ "$P/share/bash-completion/completions/$cmd" "$cmd" "$@")
}
#          name                          words                            expected
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
           "six arguments are ignored:a b c d e --w:" \
           "sandbox options:-sandbox --bo:--boot --boot-node " \
           "sandbox --format:-sandbox --boot --format :16 32 none " \
           "sandbox --files:-sandbox --files :sub " \
           "sandbox --start:-sandbox --start d:dos " \
           "dosprep after the sandbox's --:-sandbox --boot -- --test --w:--write16 --write32 "; do
    IFS=: read -r name line want <<<"$row"
    read -ra words <<<"$line"
    [ "${line: -1}" = " " ] && words+=("")
    cmd=dosprep
    [ "${words[0]}" = -sandbox ] && cmd=dosprep-sandbox && words=("${words[@]:1}")
    expect "completion: $name" "$(complete_line "$cmd" "${words[@]}")" "$want"
done

rehearses "installed rehearsal" "$P"

finish
