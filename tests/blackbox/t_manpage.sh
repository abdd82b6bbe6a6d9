# The manual pages: formatters report nothing, and every option the tools
# accept is documented.
. "$(dirname "$0")/harness.sh"

PAGES=("$SRC"/docs/*.8)
for page in "${PAGES[@]}"; do
    name=$(basename "$page")
    if command -v groff >/dev/null; then
        expect "groff: $name" "$(groff -ww -z -man "$page" 2>&1)" ""
    else
        echo "SKIP: groff missing"
    fi
    if command -v mandoc >/dev/null; then
        expect "mandoc: $name" "$(mandoc -T lint "$page" 2>&1)" ""
    else
        echo "SKIP: mandoc missing"
    fi
done

# Options as the page writes them (\-\-name).
documented() { grep -qF -- "${2//-/\\-}" "$1" && echo yes || echo no; }

# The help text's options, and the two it leaves out.
for opt in $("$BIN" --help | grep -o -- ' -[-a-z0-9]*' | sort -u) --write32 --version; do
    [ "$opt" = --debugx ] && opt=--debug
    expect "dosprep.8 documents $opt" "$(documented "$SRC/docs/dosprep.8" "$opt")" yes
done

# Every option the sandbox's own usage names.
SB=$SRC/sandbox/dosprep-sandbox
if [ -e "$SB" ]; then
    for opt in $(bash "$SB" --help 2>&1 | grep -o -- '--[a-z][-a-z]*' | sort -u); do
        expect "dosprep-sandbox.8 documents $opt" \
            "$(documented "$SRC/docs/dosprep-sandbox.8" "$opt")" yes
    done
fi

finish
