# The hex view (--show) and the binary compare (--diff) on files of chosen
# sizes and contents, outside the sandbox.
. "$(dirname "$0")/harness.sh"

F=$WORK/files
mkdir -p "$F"
printf '' >"$F/empty"
printf 'abcdefghijklmnopqrst' >"$F/twenty"
head -c 513 /dev/zero >"$F/z513"
printf '\377\000\377' >"$F/ff"
printf 'abc' >"$F/abc"; printf 'abd' >"$F/abd"
printf 'ab' >"$F/ab"; printf 'xbc' >"$F/xbc"
printf '12345' >"$F/five"; printf '1234567890' >"$F/ten"
mkdir -p "$F/dir"
head -c 70000 /dev/zero >"$F/z70000"; cp "$F/z70000" "$F/y70000"; printf '\001' | dd of="$F/y70000" bs=1 seek=69999 conv=notrunc status=none
Z16=' 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00'
z513=""
for i in $(seq 0 31); do z513+="\n$(printf '%04x:' $((i * 16)))$Z16"; done
z513+="\n\n0200: 00\n          513 bytes were found in file\n"
eq() { printf '          The fisrt %s bytes of the files compare as equal. \\n' "$1"; }
TOP='dosprep32:  Compare Function  \n'
off() { printf '  Byte offset     %s    %s \\n' "$F/$1" "$F/$2"; }  # printed, not flushed
hdr() { printf '%s%s' "$TOP" "$(off "$1" "$2")"; }
NOENT='No such file or directory'

# name                 sandbox  arguments                 stdout                                     stderr  status
check "show empty"      -  "--show $F/empty"    "\n          0 bytes were found in file\n"           ""  0
check "show 20 bytes"   -  "--show $F/twenty"   "\n0000: 61 62 63 64 65 66 67 68 69 6a 6b 6c 6d 6e 6f 70\n0010: 71 72 73 74\n          20 bytes were found in file\n" "" 0
check "show 513 bytes"  -  "--show $F/z513"     "$z513"                                            ""  0
check "show ff bytes"   -  "--show $F/ff"       "\n0000: ff 00 ff\n          3 bytes were found in file\n" "" 0
check "show directory"  -  "--show $F/dir"      "\n          0 bytes were found in file\n"           ""  0
check "diff equal"      -  "--diff $F/twenty $F/twenty" "$(hdr twenty twenty)$(eq 20)"    ""  0
check "diff empty"      -  "--diff $F/empty $F/empty"   "$(hdr empty empty)$(eq 0)"       ""  0
check "diff prefix"     -  "--diff $F/five $F/ten"      "$(hdr five ten)$(eq 5)"          ""  0
check "diff abc abd"    -  "--diff $F/abc $F/abd"       "$(hdr abc abd)0002:   63        64 \n          1 Bytes were different\n" "" 0
check "diff ab xbc"     -  "--diff $F/ab $F/xbc"        "$(hdr ab xbc)0000:   61        78 \n          1 Bytes were different\n" "" 0
check "diff ff bytes"   -  "--diff $F/ff $F/abc"        "$(hdr ff abc)0000:   ff        61 \n0001:   00        62 \n0002:   ff        63 \n          3 Bytes were different\n" "" 0
check "diff 5 digits"   -  "--diff $F/z70000 $F/y70000" "$(hdr z70000 y70000)1116f:   00        01 \n          1 Bytes were different\n" "" 0
check "diff directory"  -  "--diff $F/dir $F/abc"       "$(hdr dir abc)$(eq 0)"           ""  0
check "diff no first"   -  "--diff $F/nope $F/abc"      "$(hdr nope abc)" " compareFiles: Error: open failed for $F/nope : $NOENT\n" 0 \
      "$TOP compareFiles: Error: open failed for $F/nope : $NOENT\n$(off nope abc)"
check "diff neither"    -  "--diff $F/no1 $F/no2"       "$(hdr no1 no2)" " compareFiles: Error: open failed for $F/no1 : $NOENT\n compareFiles: Error: open failed for $F/no2 : $NOENT\n" 0 \
      "$TOP compareFiles: Error: open failed for $F/no1 : $NOENT\n compareFiles: Error: open failed for $F/no2 : $NOENT\n$(off no1 no2)"
long=$F/$(printf 'n%.0s' $(seq 1 120))
check "diff long name"  -  "--diff $long $F/abc"        "$(hdr "${long#$F/}" abc)" " compareFiles: Error: open failed for $long : $NOENT\n" 0 \
      "$TOP compareFiles: Error: open failed for $long : $NOENT\n$(off "${long#$F/}" abc)"

finish
