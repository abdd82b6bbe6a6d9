# The hex view and the compare as the real binary runs them: files larger than
# one read block against listings built from od and cmp, and the order of
# their output against standard error in a merged capture. (The routines'
# finer cases are pinned in tests/unit/hexview_test.cpp.)
. "$(dirname "$0")/harness.sh"

F=$WORK/hv
mkdir -p "$F"
head -c 200003 /dev/urandom >"$F/a"
cp "$F/a" "$F/b"
# change the bytes at the read-block edges, the last one, and every 700th
for pos in 0 65535 65536 131071 131072 200002 $(seq 7 700 200002); do
    printf '\x5a' | dd of="$F/b" bs=1 seek="$pos" conv=notrunc status=none
done
# The expected texts of this table are made here, not kept in expected/: the
# listing as od sees it (an empty line before every 512 but the first), the
# differences from cmp -l (1-based decimal position, octal bytes).
EXPECTED=$WORK/expected
mkdir -p "$EXPECTED"
{ od -An -tx1 -v -w16 "$F/a" | awk '{ if (NR > 1 && (NR - 1) % 32 == 0) printf "\n"
                                      printf "\n%04x:%s", (NR - 1) * 16, " " substr($0, 2) }'
  printf '\n          200003 bytes were found in file\n'; } >"$EXPECTED/a.listing"
TOP='dosprep32:  Compare Function  \n'
{ printf "$TOP  Byte offset     %s    %s \n" "$F/a" "$F/b"
  cmp -l "$F/a" "$F/b" | awk 'function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
                              { printf "%04x:   %02x        %02x \n", $1 - 1, oct($2), oct($3); n++ }
                              END { printf "          %d Bytes were different\n", n }'; } >"$EXPECTED/ab.diff"
NOENT='No such file or directory'
long=$F/$(printf 'n%.0s' $(seq 1 120))

# name                     sandbox  arguments               stdout         stderr  status
check "show 200003 bytes"     -  "--show $F/a"             @a.listing     ""  0
check "diff across blocks"    -  "--diff $F/a $F/b"        @ab.diff       ""  0
# the second line of the compare is still buffered when the opens fail
check "diff, neither opens"   -  "--diff $long $F/none"    "${TOP}  Byte offset     $long    $F/none \n" \
      " compareFiles: Error: open failed for $long : $NOENT\n compareFiles: Error: open failed for $F/none : $NOENT\n" 0 \
      "$TOP compareFiles: Error: open failed for $long : $NOENT\n compareFiles: Error: open failed for $F/none : $NOENT\n  Byte offset     $long    $F/none \n"

finish
