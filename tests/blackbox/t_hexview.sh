# The hex view and the compare as the real binary runs them: files larger than
# one read block, and the order of their output against standard error in a
# merged capture. (The routines' finer cases are in tests/unit/hexview_test.cpp.)
. "$(dirname "$0")/../lib/functions.sh"

# a: 200003 bytes of the cycle 01..ff (65536 is no multiple of 255, so a block
# listed twice or lost shows); b: a with 0x5a at the read-block edges, the last
# byte and every 700th.
F=$WORK/hv
BIN=$(readlink -f "$BIN") && mkdir -p "$F" && cd "$F" || exit 1
printf "$(printf '\\%o' $(seq 1 255))" >cycle
for i in $(seq 785); do cat cycle; done | head -c 200003 >a
cp a b
for pos in 0 65535 65536 131071 131072 200002 $(seq 7 700 200002); do
    printf '\x5a' | dd of=b bs=1 seek="$pos" conv=notrunc status=none
done
TOP='dosprep32:  Compare Function  \n' NOENT='No such file or directory'
long=$F/$(printf 'n%.0s' $(seq 1 120))

# name                     sandbox  arguments          stdout              stderr  status
# (the 700 KB listing by its digest; xxd -r reads it back to a, cycle's period shows in it)
check "show 200003 bytes"     -  "--show a"        "sha256 b88709b70671931ff124ad30d11c4a14aa44e316ef17fd673db89e73ee49ec78\n"  ""  0
expect "show: xxd -r reads a back" "$("$BIN" --show a | grep : | xxd -r | cmp - a && echo same)" same
check "diff across blocks"    -  "--diff a b"      @hexview-diff.out   ""  0
# the second line of the compare is still buffered when the opens fail
check "diff, neither opens"   -  "--diff $long $F/none"    "${TOP}  Byte offset     $long    $F/none \n" \
      " compareFiles: Error: open failed for $long : $NOENT\n compareFiles: Error: open failed for $F/none : $NOENT\n" 0 \
      "$TOP compareFiles: Error: open failed for $long : $NOENT\n compareFiles: Error: open failed for $F/none : $NOENT\n  Byte offset     $long    $F/none \n"

finish
