# The partition modes (--sfdisk32, --sfdisk16, --geodisk): geometry, size
# lookup, the table file, the sfdisk command, the sectors-per-track patch of
# dosboot.b, and a missing piece of the environment.
. "$(dirname "$0")/../lib/functions.sh"

G="--geometry 255/63/8924 --size 2000"
cmd() { printf '   system__sfdisk --force -S %s /dev/sssd < /root/vantor/dosboot.sfdisk\\n \\n' "$1"; }
NODATA='Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n'
XML=/root/vantor/bootpartition.xml
table_is() {  # NAME START SIZE ID [DOSBOOT.B SECTORS PER TRACK, HEADS, HIDDEN]: files left in $KEEP
    expect "$1: table" "$(printf '# partition table of /dev/sssd\nunit: sectors\n\n/dev/sssd1 : start=       %s, size= %s, Id= %s, bootable\n%s\n\n' "$2" "$3" "$4" \
        "$(printf '/dev/sssd%s : start=        0, size=       0, Id= 0\n' 2 3 4)" | cmp - "$KEEP/vantor/dosboot.sfdisk" && echo same)" same
    [ -z "${5-}" ] || expect "$1: dosboot.b" "$(fields "$KEEP/vantor/dosboot.b" 0 sectors_per_track heads hidden_sectors)" "$5"
}
part1() { sfdisk --dump "$KEEP/disk.img" 2>/dev/null | sed -n 's/^.*img1 : //p'; }
F=$WORK/files
mkdir -p "$F/notag" "$F/pattern"
printf '<bootpartition>\n  <size>2000</size>\n</bootpartition>\n' >"$F/notag/bootpartition.xml"
for i in $(seq 0 63); do printf "\\$(printf %03o "$i")"; done >"$F/pattern/dosboot.b"

# name                 sandbox    arguments                 stdout   stderr  status [merged]
check "geodisk"         "$G"  "--geodisk"           ""  ""  0
table_is "geodisk" 63 4096512 6 "63 64 63"
expect "geodisk: disk untouched" "$(part1)" "start=          63, size=     4096000, type=c"
check "level 22"        "$G --vantor $F/pattern"  "--debugm --test --sfdisk16"  @partition-level22.out  ""  0
check "ATA: 255 heads"  "--controller ATA --geometry 16/63/8924 --size 2000"  "--debug3 --test --sfdisk16"  @partition-ata.out  ""  0
# The first and last level of each trace: t the table line from 1, g the geometry and size from 3, T the other
# table lines 5 to 15, b the patched dosboot.b from 5, c the command; o q s z the front end's (t_frontend).
DASH=" $(printf -- '-%.0s' {1..59})\n"
declare -A LINES=([t]='     # partition table of /dev/sssd\n     /dev/sssd1 : start=       63, size= 4096512, Id= 6, bootable\n'
    [g]="$DASH   Heads_255_ Sectors_63_ Cylinders_8924_ Start_0_\n$DASH   CylinderBoundry(256, 63, 8924, 2000) \n"
    [T]="$(printf '     /dev/sssd%s : start=        0, size=       0, Id= 0\\n' 2 3 4)\n" [c]="$(cmd 63)"
    [b]=' {DOSPREP-showBuffer] --\n\n0000: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n0010: 10 11 12 13 14 15 16 17 3f 19 1a 1b 3f 1d 1e 1f\n0020: 20 21 22 23 24 25 26 27 28 29 2a 2b 2c 2d 2e 2f\n'
    [o]='       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n' [q]='       getPrimaryBootType \n'
    [s]='       __String_SCSI__nBootType_3__nIsATA_0__\n' [z]='__nIsSFDisk_16__nIsWrite_0__nIsATest_1__nIsATA_0__\n')
for row in "1 1 tc" "2 2 tc" "5 5 gtTcb" "f 15 oqszgtTcb" "g 16 qszgtcb"; do
    read -r c lv keys <<<"$row"
    check "level $lv"  "$G --vantor $F/pattern"  "--debug$c --test --sfdisk16"  "$(traced "$lv" "$keys")"  ""  0
done
# Sectors per track 16 through 128 reach dosboot.b; 15 is also bad input.
for row in "63 4096512 63 64 63" "16 4096000 16 64 16" "128 4096000 128 64 128" \
           "15 204800 63 64 0" "129 4128000 63 64 0"; do
    read -r spt size patched <<<"$row"
    check "sfdisk32, test, $spt sectors"  "--geometry 255/$spt/8924 --size 2000"  "--test --sfdisk32"  "$(cmd "$spt")"  ""  0
    table_is "$spt sectors" "$spt" "$size" c "$patched"
    expect "$spt sectors: disk untouched" "$(part1)" "$(printf 'start=%12s, size=     4096000, type=c' "$spt")"
done
check "no boot disk"    "--no-disk --size 2000"  "--debug4 --test --sfdisk16"  @partition-nodisk.out  ""  0
table_is "no boot disk" 32 204800 6 "32 64 32"
check "geometry fails"  "--no-geometry --size 2000"  "--debug3 --test --sfdisk16"  @partition-nogeo.out  ""  0
table_is "geometry fails" 0 204800 6 "63 64 0"
NOFILE="loadFile: Error $XML was not found. \n $XML was not found. "
CLOSED='closeFile: Error The file was already closed. \n'
check "no description"  "$G --setup 'rm $XML'"  "--test --sfdisk32"  "$NODATA$(cmd 63)"  "$NOFILE$CLOSED"  0 \
      "$NOFILE$NODATA$CLOSED$(cmd 63)"
table_is "no description" 63 4292902 c
check "no size tag"     "$G --vantor $F/notag"  "--test --sfdisk32"  "$NODATA$(cmd 63)"  ""  0
table_is "no size tag" 63 4292902 c
NOOUT='Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n'
D1='###    Debug Mode 1  ###\n'
check "table not writable" "$G --setup 'mkdir /root/vantor/dosboot.sfdisk'"  "--debug1 --test --sfdisk32" \
      "$D1$(cmd 63)"  "$NOOUT"  0  "$D1$NOOUT$(cmd 63)"
check "table disk full" "$G --setup 'ln -s /dev/full /root/vantor/dosboot.sfdisk'"  "--test --sfdisk32" \
      ""  "Error: dosprep could not write the output file /root/vantor/dosboot.sfdisk, the table is not applied\n"  0
NOIMG='DOSPREP: Unable to open /root/vantor/dosboot.b\n'
check "no image"        "$G --setup 'rm /root/vantor/dosboot.b'"  "--test --sfdisk16"  "$(cmd 63)"  "$NOIMG"  0 "$NOIMG$(cmd 63)"

# Applied for real, by the system's own sfdisk through dosprep's front end:
# nothing of the sandbox stands in front of it. A DOS disk keeps its
# identifier, with busybox's od, grep, head, tr and cat first on PATH too; a
# disk that carried a GPT gets a DOS table (its protective MBR's identifier)
# and no GPT signature is left at either end.
printf 'label: gpt\nstart=2048, size=1048576, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\ntype=0FC63DAF-8483-4772-8E79-3D69C8A47DE4\n' >"$WORK/gpt"
mkdir -p "$WORK/busybox"
for t in od grep head tr cat; do ln -s /bin/busybox "$WORK/busybox/$t"; done
printf '#!/bin/sh\nPATH=%s:$PATH exec %s "$@"\n' "$WORK/busybox" "$BIN" >"$WORK/busybox-dosprep" && chmod +x "$WORK/busybox-dosprep"
#          fat type geometry start size    dosboot.b  disk held  label-id   tools first on PATH
for row in "32  c   255/63  63   4096512  63         dos        0x0b0075ec system" \
           "16  6   240/32  32   4102784  32         dos        0x0b0075ec system" \
           "32  c   255/63  63   4096512  63         dos        0x0b0075ec busybox" \
           "32  c   255/63  63   4096512  63         gpt        0x00000000 system" \
           "16  6   255/63  63   4096512  63         gpt        0x00000000 system"; do
    read -r fat id hs start size spt held label first <<<"$row"
    KEEP=$WORK/applied$fat$held$first name="sfdisk$fat on $held, $first tools first"
    setup= bin=$BIN
    [ "$held" = gpt ] && setup="--setup 'sfdisk -q /dev/sssd <$WORK/gpt'"
    [ "$first" = busybox ] && bin=$WORK/busybox-dosprep
    BIN=$bin run_in "--geometry $hs/8924 --size 2000 $setup" "$KEEP" "--sfdisk$fat" >/dev/null 2>&1 </dev/null
    expect "$name" "$(sfdisk --dump "$KEEP/disk.img" | sed -n 's/^label: //p; s/^label-id: //p; s/^.*img1 : //p' | paste -sd' ')" \
        "dos $label start=          $start, size=     $size, type=$id, bootable"
    expect "$name: signatures" "$(wipefs --no-act --noheadings -O TYPE "$KEEP/disk.img"; tail -c 512 "$KEEP/disk.img" | grep -ac 'EFI PART')" "dos
0"
    table_is "$name" "$start" "$size" "$id" "$spt 64 $spt"
done

# An sfdisk of the old kind first on PATH gets the command and the table as
# they are; its output and the run's status pass through.
mkdir -p "$F/old"
printf '#!/bin/sh
[ "$1" = --version ] && { echo "sfdisk from util-linux 2.25.2"; exit 0; }
echo "$*" >%s
cat >>%s
echo old sfdisk
exit 1
' \
    "$WORK/old.log" "$WORK/old.log" >"$F/old/sfdisk" && chmod +x "$F/old/sfdisk"
check "old sfdisk"  "$G --setup 'mount --bind $F/old /usr/local/sbin'"  "--sfdisk32"  "old sfdisk\n"  ""  0
expect "old sfdisk: its input" "$(printf -- '--force -S 63 /dev/sssd\n' | cat - "$KEEP/vantor/dosboot.sfdisk" | cmp - "$WORK/old.log" && echo same)" same
FRONT=$(dirname "$BIN")/lib/dosprep/bin
NONE="127 sfdisk: no sfdisk found on PATH besides the dosprep front end (package fdisk)"
# Copies of the front end that differ in their bytes, each first on PATH for
# the other, never run each other in turn.
for k in 1 2; do mkdir -p "$WORK/copy$k" && { cat "$FRONT/sfdisk"; echo "$k"; } >"$WORK/copy$k/sfdisk" && chmod +x "$WORK/copy$k/sfdisk"; done
#          name                path                                         expected
for row in "no sfdisk at all|$FRONT|$NONE" \
           "copies, no sfdisk|$WORK/copy2:$WORK/copy1:$FRONT|$NONE" \
           "copies, then sfdisk|$WORK/copy2:$WORK/copy1:$FRONT:/usr/sbin|0 $(/usr/sbin/sfdisk --version)"; do
    IFS='|' read -r name path want <<<"$row"
    out=$(timeout 10 env PATH="$path" "$FRONT/sfdisk" --version 2>&1)
    expect "$name" "$? $out" "$want"
done
# A table of 1 MiB goes on to sfdisk; one byte more is refused, nothing written.
truncate -s 10M "$WORK/blank.img"
for row in "1048576|-n|0 " "1048577|--force|1 sfdisk: the table on standard input is longer than 1 MiB; nothing was applied"; do
    IFS='|' read -r n opt want <<<"$row"
    out=$(head -c "$n" /dev/zero | tr '\0' '\n' | PATH=$FRONT:/usr/sbin "$FRONT/sfdisk" "$opt" "$WORK/blank.img" 2>&1 >/dev/null)
    expect "table of $n bytes" "$? $out $(fields "$WORK/blank.img" 0 signature)" "$want 00 00"
done

finish
