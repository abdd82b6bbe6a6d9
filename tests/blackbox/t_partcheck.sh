# The partition threshold check (--dos): the threshold text, the two
# little-endian counts and the answer in the exit status, outside the sandbox.
. "$(dirname "$0")/../lib/functions.sh"

F=$WORK/files
mkdir -p "$F"
mk() { printf "$2" >"$F/$1"; }
mk p4096000 '\000\200\076\000'; mk t4096512 '\000\202\076\000'; mk at1000 '\350\314\035\000'
mk long '\000\200\076\000\377\377'; mk neg '\000\000\000\200'; mk zero '\000\000\000\000'
mk empty ''; mk short2 '\000\202'; mk short3 '\000\200\076'
NOENT='Error Openning File : No such file or directory\n'

# Level 3: the lines before the files are opened, then those after.
l3a() { printf '###    Debug Mode 3  ###\\n______DosPartCheck_--dos__\\n______dosPartCheck_Threshold = %s   0x%X__\\n' "$1" "$1"; }
l3b() { printf '______d_table_%s__\\n______d_part_%s__\\n______d__table_%s__\\n______d__part_%s__\\n______dosPartCheck_Return code__ %s__\\n' "$@"; }
l3() { l3a "$1"; shift; l3b "$@"; }
P='00_3E_82_00 00_3E_80_00 4096512_3E8200 4096000_3E8000'
dos() { echo "--debug3 --dos $F/$1 $F/$2 $3"; }

# name                 sandbox  arguments                          stdout                   stderr  status
for th in 2000=3906000 200MB=390600 12345=2410002 1A=52731 -5=9765 0012=23436 $'\xe9'5=9765; do  # 1953 sectors a unit
    check "threshold '${th%=*}'"  -  "$(dos t4096512 p4096000 "$(printf %q "${th%=*}")")"  "$(l3 ${th##*=} $P 1)"  ""  1
done
check "below threshold" -  "$(dos t4096512 p4096000 2100)"  "$(l3 4101300 $P 0)"  ""  0
check "swapped"         -  "$(dos p4096000 t4096512 1000)"  "$(l3 1953000 00_3E_80_00 00_3E_82_00 4096000_3E8000 4096512_3E8200 -1)" "" 255
check "equal counts"    -  "$(dos p4096000 long 1000)"      "$(l3 1953000 00_3E_80_00 00_3E_80_00 4096000_3E8000 4096000_3E8000 0)" "" 0
check "at threshold"    -  "$(dos t4096512 at1000 1000)"    "$(l3 1953000 00_3E_82_00 00_1D_CC_E8 4096512_3E8200 1953000_1DCCE8 1)" "" 1
check "short files"     -  "$(dos short2 short3 0)"         "$(l3 0 FF_FF_82_00 FF_3E_80_00 -32256_FFFF8200 -12681216_FF3E8000 0)" "" 0
check "empty table"     -  "$(dos empty p4096000 0)"        "$(l3 0 FF_FF_FF_FF 00_3E_80_00 -1_FFFFFFFF 4096000_3E8000 -1)" "" 255
check "negative table"  -  "$(dos neg zero 0)"              "$(l3 0 80_00_00_00 00_00_00_00 -2147483648_80000000 0_0 -1)" "" 255
# Both opens are tried; nothing is read, both counts stay 0.
Z='00_00_00_00 00_00_00_00 0_0 0_0'
check "no table file"   -  "$(dos nope p4096000 1000)"  "$(l3 1953000 $Z 0)"  "$NOENT"  0  "$(l3a 1953000)$NOENT$(l3b $Z 0)"
check "no files at all" -  "$(dos no1 no2 0)"           "$(l3 0 $Z 0)"  "$NOENT$NOENT"  0  "$(l3a 0)$NOENT$NOENT$(l3b $Z 0)"
check "level 0"         -  "--dos $F/p4096000 $F/t4096512 1000"  ""  ""  255

# Level 2 adds the parse trace; the other levels keep their own lines.
TAIL="______d_table_00_3E_82_00__\n______d_part_00_3E_80_00__\n______d__table_4096512_3E8200__\n______d__part_4096000_3E8000__\n______dosPartCheck_Return code__ 1__\n"
check "level 2, '20'"   -  "--debug2 --dos $F/t4096512 $F/p4096000 20" \
      "###    Debug Mode 2  ###\n______DosPartCheck_--dos__\n______dosPartCheck_$F/t4096512_$F/p4096000_20__\n._.2._..2..._.0._..20..___________thres__20_14\n______dosPartCheck_Threshold = 39060   0x9894__\n$TAIL" "" 1
check "level 6"         -  "--debug6 --dos $F/t4096512 $F/p4096000 20" "###    Debug Mode 6  ###\n$TAIL" "" 1
check "level e"         -  "--debuge --dos $F/t4096512 $F/p4096000 20" "###    Debug Mode 14  ###\n______dosPartCheck_Return code__ 1__\n" "" 1
# The first and last level of each trace: 2 to 5 the threshold, 2 to 6 the counts, 2 to 14 the answer.
lv() { echo "--debug$1 --dos $F/t4096512 $F/p4096000 20"; }
check "level 1"         -  "$(lv 1)"  "###    Debug Mode 1  ###\n" "" 1
check "level 5"         -  "$(lv 5)"  "###    Debug Mode 5  ###\n______DosPartCheck_--dos__\n______dosPartCheck_Threshold = 39060   0x9894__\n$TAIL" "" 1
check "level 7"         -  "$(lv 7)"  "###    Debug Mode 7  ###\n______dosPartCheck_Return code__ 1__\n" "" 1
check "level 15"        -  "$(lv f)"  "###    Debug Mode 15  ###\n" "" 1

finish
