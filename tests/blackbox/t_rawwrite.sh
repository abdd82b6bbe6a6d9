# Single-byte writes: --bytewrite on scratch files and /dev/zero, its syntax
# lines, traces and test mode; --fixata on the boot partition in the sandbox.
. "$(dirname "$0")/harness.sh"

F=$WORK/files
mkdir -p "$F"
printf 'abcdefgh' >"$F/eight"
printf 'abcdefgh' >"$F/grow"
printf 'abcdefgh' >"$F/tested"
SYN=' SYNTAX ERROR:         --bytewrite {devnode} {0xoffset} {0xbyte}  \n         example: dosprep  --bytewrite /dev/zero 0xa0 0xff \n'
ROOT='You need to be user root to run this program!\n'
TEST='TESTMODE: \n     fseek( 0xPTR, 000000a0, 0) \n     fputc( ff, 0xPTR) \n'

# name                  sandbox  arguments                                      stdout  stderr  status
check "relative node"      -  "--bytewrite sdb 0x0 0x41"                         "$SYN"  ""  0
check "capital X offset"   -  "--bytewrite /dev/zero 0X10 0x1"                   "$SYN"  ""  0
check "short byte word"    -  "--bytewrite /dev/zero 0x1 x"                      "$SYN"  ""  0
check "no such directory"  -  "--bytewrite /nonexistent/dir/x 0x0 0x0"           "$ROOT" ""  0
check "a directory"        -  "--bytewrite / 0x0 0x0"                            "$ROOT" ""  0
check "/dev/zero"          -  "--bytewrite /dev/zero 0xa0 0xff"                  ""      ""  0
check "level 2: words"     -  "--debug2 --bytewrite /dev/zero 0xA0 0xfff"  "###    Debug Mode 2  ###\n  writeByteToDevnode( /dev/zero, 0xA0, 0xfff )\n" "" 0
check "level 12: T1, T3"   -  "--debugc --bytewrite /dev/zero 0xg 0xzz"  "###    Debug Mode 12  ###\n  writeByteToDevnode( /dev/zero, 0xg, 0xzz )\n  writeOneByteToPartition( /dev/zero, 0x00000010, 0x53 )\n" "" 0
check "level 16: read"     -  "--debugg --bytewrite /dev/zero 0xa0 0xff"  "###    Debug Mode 16  ###\n  writeByteToDevnode( /dev/zero, 000000a0, ff )\n" "" 0
check "level 31: wrapped"  -  "--debugv --bytewrite /dev/zero 0xg0000001 0x1"  "###    Debug Mode 31  ###\n  writeByteToDevnode( /dev/zero, 00000001, 01 )\n" "" 0
check "level 32: nothing"  -  "--debugw --bytewrite /dev/zero 0xa0 0xff"  "###    Debug Mode 32  ###\n" "" 0
check "test mode"          -  "--test --bytewrite $F/tested 0xa0 0xff"          "$TEST" ""  0
check "test mode, syntax"  -  "--test --bytewrite $F/tested 0x1 0X1"            "$SYN"  ""  0
check "test after: real"   -  "--bytewrite $F/eight 0x3 0x41 --test"             ""      ""  0
check "past the end"       -  "--bytewrite $F/grow 0xa 0x7a"                     ""      ""  0
expect "test mode leaves the file"  "$(cat "$F/tested")"  abcdefgh
expect "one byte in place"  "$(cat "$F/eight")"  abcAefgh
expect "grows to the byte"  "$(bytes "$F/grow" 0 11)"  "61 62 63 64 65 66 67 68 00 00 7a"
check "missing test file"  -  "--test --bytewrite $F/new 0xa0 0xff"             "$TEST" ""  0
expect "test mode creates it empty"  "$(stat -c %s "$F/new")"  0

finish
