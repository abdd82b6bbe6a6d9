# The command line: option order, immediate options, syntax errors, levels,
# the argument-count gate and the controller type read from ssprimary.
. "$(dirname "$0")/../lib/functions.sh"

V='dosprep ver 0.5.11\n'
SYN_OUT=@syntax.txt
SYN_ERR_F='Syntax Error - Missing File Name\n\n*** Syntax Error - Missing File Name ***\n'
SYN_ERR_P='Syntax Error - Missing File Name\n\n*** Syntax Error - Missing File Name *** \n'

# name                       sandbox  arguments                                stdout        stderr      status [merged]
check "help"                 -  "--help"                                   @help.txt     ""          0
check "version"              -  "--version"                                "$V"          ""          0
check "short version"        -  "-v"                                       "$V"          ""          0
check "first of two wins"    -  "--version --help"                         "$V"          ""          0
check "help after version"   -  "--help --version"                         @help.txt     ""          0
check "six arguments: none"  -  "--help a b c d e"                         ""            ""          0
check "five arguments"       -  "--help a b c d"                           @help.txt     ""          0
check "unknown words"        -  "--hlep -x --Help"                         ""            ""          0
# The level is the value of the character after --debug: digits, letters of
# either case from 10, anything else (the neighbours of those ranges, a high
# byte, nothing) 0.
for lv in =0 0=0 9=9 A=10 Z=35 a=10 z=35 9999=9 /=0 :=0 @=0 [=0 \`=0 {=0 .=0 $'\xe9'=0; do
    check "level '${lv%=*}'"  -  "$(printf %q "--debug${lv%=*}") -v"  "###    Debug Mode ${lv##*=}  ###\n$V"  ""  0
done
check "--show alone"         -  "--show"                                   $SYN_OUT      "$SYN_ERR_P" 255 @synerr-plain.merged
check "--diff one operand"   -  "--diff a"                                 $SYN_OUT      "$SYN_ERR_F" 255 @synerr-flushed.merged
check "--dos trace level 5"  -  "--debug5 --dos t p"                      @dos5.out     "$SYN_ERR_F" 255 @dos5.merged
check "--dos trace level 6"  -  "--debug6 --dos t p"                      @dos6.out     "$SYN_ERR_F" 255 @dos6.merged
check "--bytewrite short"    -  "--bytewrite /dev/zero 0xa0"               @help.txt     ""          0
check "--show takes option"  -  "--show --help"                            ""  "Error Openning File : No such file or directory\n" 0

# In the sandbox: the controller type, its traces and the state line.
ATA="--controller ATA"
check "no arguments"         ""       ""                                   ""            ""          0
check "controller ATA, 14"   "$ATA"   "--debuge"  "###    Debug Mode 14  ###\n       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n       __String_ATA__nBootType_4__nIsATA_1__\n__nIsSFDisk_0__nIsWrite_0__nIsATest_0__nIsATA_1__\n" "" 0
check "two --test, 15"       ""       "--test --debugf --test"  "###    Debug Mode 15  ###\n       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n       getPrimaryBootType \n       __String_SCSI__nBootType_3__nIsATA_0__\n__nIsSFDisk_0__nIsWrite_0__nIsATest_2__nIsATA_0__\n" "" 0
check "level 16"             ""       "--debugg"  "###    Debug Mode 16  ###\n       getPrimaryBootType \n       __String_SCSI__nBootType_3__nIsATA_0__\n__nIsSFDisk_0__nIsWrite_0__nIsATest_0__nIsATA_0__\n" "" 0
check "level 17"             ""       "--debugh"  "###    Debug Mode 17  ###\n       getPrimaryBootType \n__nIsSFDisk_0__nIsWrite_0__nIsATest_0__nIsATA_0__\n" "" 0
# The first and last level of each: the open 10 to 15, the string 6 to 16, the state line from 14.
OPEN='       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n' STR='       __String_SCSI__nBootType_3__nIsATA_0__\n'
check "level 5"              ""       "--debug5"  "###    Debug Mode 5  ###\n" "" 0
check "level 9"              ""       "--debug9"  "###    Debug Mode 9  ###\n$STR" "" 0
check "level 10"             ""       "--debuga"  "###    Debug Mode 10  ###\n$OPEN$STR" "" 0
check "level 13"             ""       "--debugd"  "###    Debug Mode 13  ###\n$OPEN$STR" "" 0
check "no ssprimary, 0"      "--controller -"  ""       ""  ""  0
check "no ssprimary, 1"      "--controller -"  "--debug1"  "###    Debug Mode 1  ###\n" "       getPrimaryBootType Error: Unable to open ssprimary file. \n" 0 \
      "       getPrimaryBootType Error: Unable to open ssprimary file. \n###    Debug Mode 1  ###\n"
check "no ssprimary, 6"      "--controller -"  "--debug6"  "###    Debug Mode 6  ###\n       __String___nBootType_0__nIsATA_0__\n" "       getPrimaryBootType Error: Unable to open ssprimary file. \n" 0 \
      "       getPrimaryBootType Error: Unable to open ssprimary file. \n###    Debug Mode 6  ###\n       __String___nBootType_0__nIsATA_0__\n"
for word in 'ATA\n:ATA:4' 'ata\n:ata:0' 'ATA \n:ATA :0' 'ATA\r\n:ATA\r:0' 'SCSI:SCSI:3' 'KLARN\n:KLARN:1' 'TOVRIXAR\nATA\n:TOVRIXAR:2' \
            'ATAATAATAATAATA\n:ATAATAATAATAA:0' '\n::0' ':' ; do
    IFS=: read -r raw shown type <<<"$word"
    ata=0; [ "$type" = 4 ] && ata=1
    check "ssprimary '$raw'" "--ssprimary-raw \$'$raw'" "--debug6" \
        "###    Debug Mode 6  ###\n       __String_${shown}__nBootType_${type:-0}__nIsATA_${ata}__\n" "" 0
done

finish
