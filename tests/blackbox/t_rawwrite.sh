# Single-byte writes: --bytewrite on scratch files and /dev/zero (syntax lines,
# traces, test mode), and --fixata on the boot partition in the sandbox.
. "$(dirname "$0")/../lib/functions.sh"

F=$WORK/files
mkdir -p "$F" && for f in eight tested; do printf 'abcdefgh' >"$F/$f"; done
SYN=' SYNTAX ERROR:         --bytewrite {devnode} {0xoffset} {0xbyte}  \n         example: dosprep  --bytewrite /dev/zero 0xa0 0xff \n'
TEST='TESTMODE: \n     fseek( 0xPTR, 000000a0, 0) \n     fputc( ff, 0xPTR) \n'

# name                  sandbox  arguments                                stdout  stderr  status
check "relative node"      -  "--bytewrite sdb 0x0 0x41"                   "$SYN"  ""  0
check "cannot open"        -  "--bytewrite /nonexistent/x 0x0 0x0"  'You need to be user root to run this program!\n' "" 0
check "level 12: T1, T3"   -  "--debugc --bytewrite /dev/zero 0xg 0xzz"  "###    Debug Mode 12  ###\n  writeByteToDevnode( /dev/zero, 0xg, 0xzz )\n  writeOneByteToPartition( /dev/zero, 0x00000010, 0x53 )\n" "" 0
check "level 16: T2"       -  "--debugg --bytewrite /dev/zero 0xa0 0xfff"  "###    Debug Mode 16  ###\n  writeByteToDevnode( /dev/zero, 000000a0, ff )\n" "" 0
check "test mode"          -  "--test --bytewrite $F/tested 0xa0 0xff"    "$TEST" ""  0
check "--test after: real" -  "--bytewrite $F/eight 0x3 0x41 --test"       ""      ""  0
expect "test mode unchanged, one byte in place"  "$(cat "$F/tested") $(cat "$F/eight")"  "abcdefgh abcAefgh"
# The first and last level of each trace: g the words as given 2 to 15, r as read 16 to 31, w the write 12 to 15.
declare -A LINES=([g]='  writeByteToDevnode( /dev/zero, 0xa0, 0xff )\n' [r]='  writeByteToDevnode( /dev/zero, 000000a0, ff )\n'
                  [w]='  writeOneByteToPartition( /dev/zero, 0x000000a0, 0xff )\n')
for row in "1 1" "2 2 g" "b 11 g" "f 15 gw" "v 31 r" "w 32"; do
    read -r c lv keys <<<"$row"
    check "level $lv"  -  "--debug$c --bytewrite /dev/zero 0xa0 0xff"  "$(traced "$lv" "${keys-}")"  ""  0
done

# What the words read as, seen through where the byte lands in a file of 16
# 'e'. Rows: node (under $F), offset and byte words, the offset and value
# written ("-": a syntax error, nothing written), the file when not the node.
N=$(printf 'n%.0s' $(seq $((94 - ${#F}))))  # "$F/$N" and one more character: 96
for row in 'f 0xa 0xff 10 ff' 'f 0xA 0xFF 10 ff' 'f 0x 0x 0 00' 'f 0x1 0xfff 1 ff' \
           'f 0x3 0xzz 3 53' 'f 0xg 0x1 16 01' \
           'f 0x00000000a 0x7 0 07'       `# the ninth digit is ignored` \
           'f 0xg0000001 0x7 1 07'        `# 16 << 28 wraps out of 32 bits` \
           "f 0x1-5 '0x2 3' 1 02"         `# reading stops below '0'...` \
           'f 0x:1 0x@9 1 09'             `# ...but ':' and '@' add 0 and go on` \
           "f \$'0x1\\xe92' \$'0x\\xe91' 1 00"  `# a byte of 0x80 up stops it` \
           'f 1x1 xx7 1 07'               `# the first character is not looked at` \
           'f 0x80000000 0x5a 2147483648 5a'  `# carried unsigned` \
           "\$'f\\001tail' 0x1 0x41 1 41 f"  `# a control character ends the node` \
           '${N}xyz 0x2 0x42 2 42 ${N}x'  `# 96 characters kept` \
           'f 0X1 0x1 -' 'f 0x1 0X1 -' 'f x 0x1 -' "f 0x1 '' -"; do
    eval "set -- $row"
    printf eeeeeeeeeeeeeeee | tee "$WORK/want" >"$F/${6:-$1}"
    [ "$4" = - ] || printf "\\x$5" | dd of="$WORK/want" bs=1 seek="$4" conv=notrunc status=none
    check "bytewrite $row"  -  "--bytewrite $(printf '%q ' "$F/$1" "$2" "$3")"  "$([ "$4" = - ] && echo "$SYN")"  ""  0
    f=$F/${6:-$1} o=${4/-/0}  # its size, first 16 bytes and the byte written
    expect "bytewrite $row: file" "$(stat -c %s "$f") $(same "$WORK/want" 0 "$f" 0 16) $(same "$WORK/want" "$o" "$f" "$o" 1)" "$(stat -c %s "$WORK/want") same same"
    rm -f "$f"
done

# --fixata: byte 26 of the first partition (sector 63) becomes 0xff and no
# other byte of the disk changes; ATA makes the same write twice.
G='--geometry 16/63/100 --size 20 --format 16'
"$SANDBOX" --binary "$BIN" --keep "$WORK/base" $G >/dev/null 2>&1 </dev/null
diffs() { cmp -l "$WORK/base/disk.img" "$KEEP/disk.img" | awk '{ printf "%d:%s ", $1 - 1, $3 }'; }
c12() { printf '###    Debug Mode 12  ###\\n       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\\n       __String_%s__nBootType_%d__nIsATA_%d__\\n' "$@"; }
T3='  writeOneByteToPartition( /dev/sssd1, 0x0000001a, 0xff )\n'
FIX='TESTMODE: \n     fseek( 0xPTR, 0000001a, 0) \n     fputc( ff, 0xPTR) \n'
check "fixata"             "$G"                  "--debugc --fixata"  "$(c12 SCSI 3 0)$T3" "" 0
expect "fixata: byte 26"    "$(diffs)"  "32282:377 "
check "fixata, ATA"        "$G --controller ATA" "--debugc --fixata"  "$(c12 ATA 4 1)$T3$T3" "" 0
expect "fixata ATA: byte 26" "$(diffs)"  "32282:377 "
check "fixata, ATA, test"  "$G --controller ATA" "--fixata --test"    "$FIX$FIX" "" 0
expect "fixata test: none"  "$(diffs)"  ""

finish
