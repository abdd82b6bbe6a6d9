# The manual pages: formatters report nothing, and every option the tools
# accept is documented.
. "$(dirname "$0")/../lib/functions.sh"

for page in "$SRC"/docs/*.8; do
    command -v groff >/dev/null && expect "groff: ${page##*/}" "$(groff -ww -z -man "$page" 2>&1)" ""
    command -v mandoc >/dev/null && expect "mandoc: ${page##*/}" "$(mandoc -T lint "$page" 2>&1)" ""
done
undocumented() {  # PAGE OPTIONS...: those the page does not write (as \-\-name)
    local page=$1 opt; shift
    for opt; do grep -qF -- "${opt//-/\\-}" "$page" || echo "$opt"; done
}
# The help text's options, and the two it leaves out; the sandbox's usage.
expect "dosprep.8" "$(undocumented "$SRC/docs/dosprep.8" $("$BIN" --help | grep -o -- ' -[-a-z0-9]*' | sed 's/--debugx/--debug/') --write32 --version)" ""
expect "dosprep-sandbox.8" "$(undocumented "$SRC/docs/dosprep-sandbox.8" $(bash "$SANDBOX" --help 2>&1 | grep -o -- '--[a-z][-a-z]*'))" ""
# Every driver of the sandbox's driver table has its row in the page's
# table of drivers.
expect "driver rows" "$(comm -23 <(sed -n '/^[^#]/s/ .*//p' "$SRC/sandbox/lib/drivers" | sort) \
    <(sed -n '/^\.SS Disk drivers/,/^\.TE/{/^\.TS/,/^\.TE/p}' "$SRC/docs/dosprep-sandbox.8" |
        sed -n 's/\\-/-/g; s/\t.*//p' | sort))" ""

finish
