# Single-byte writes: --bytewrite on scratch files and /dev/zero (syntax lines,
# traces, test mode), and --fixata on the boot partition in the sandbox.
. "$(dirname "$0")/harness.sh"

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
