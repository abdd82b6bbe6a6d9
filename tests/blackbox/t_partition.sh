# The partition modes (--sfdisk32, --sfdisk16, --geodisk): geometry, size
# lookup, the table file, the sfdisk command, the sectors-per-track patch of
# dosboot.b, and what happens when a piece of the environment is missing.
. "$(dirname "$0")/harness.sh"

G="--geometry 255/63/8924 --size 2000"
cmd() { printf '   system__sfdisk --force -S %s /dev/sssd < /root/vantor/dosboot.sfdisk\\n \\n' "$1"; }
D() { printf '###    Debug Mode %s  ###\\n' "$1"; }
DASH=' -----------------------------------------------------------\n'
geo() { printf '%s   Heads_%s_ Sectors_%s_ Cylinders_%s_ Start_0_\\n%s' "$DASH" "$1" "$2" "$3" "$DASH"; }
echo1() { printf '     # partition table of /dev/sssd\\n     /dev/sssd1 : start=       %s, size= %s, Id= %s, bootable\\n' "$@"; }
ECHO3='     /dev/sssd2 : start=        0, size=       0, Id= 0\n     /dev/sssd3 : start=        0, size=       0, Id= 0\n     /dev/sssd4 : start=        0, size=       0, Id= 0\n\n'
NODATA='Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n'
XML=/root/vantor/bootpartition.xml

table_is() {  # NAME START SIZE ID: the table file of $KEEP, byte for byte
    expect "$1: table file" "$(od -c "$KEEP/vantor/dosboot.sfdisk")" "$(printf '# partition table of /dev/sssd\nunit: sectors\n\n/dev/sssd1 : start=       %s, size= %s, Id= %s, bootable\n/dev/sssd2 : start=        0, size=       0, Id= 0\n/dev/sssd3 : start=        0, size=       0, Id= 0\n/dev/sssd4 : start=        0, size=       0, Id= 0\n\n' "$2" "$3" "$4" | od -c)"
}
part1() { sfdisk --dump "$KEEP/disk.img" 2>/dev/null | sed -n 's/^.*img1 : //p'; }
geometry_bytes() { expect "$1: dosboot.b 24-28" "$(bytes "$KEEP/vantor/dosboot.b" 24 5)" "$2"; }

# Description files and a known boot sector image (bytes 00..3f).
F=$WORK/files
mkdir -p "$F/notag" "$F/huge" "$F/pattern"
printf '<bootpartition>\n  <size>2000</size>\n</bootpartition>\n' >"$F/notag/bootpartition.xml"
printf '<megabytesize>1048575</megabytesize>\n' >"$F/huge/bootpartition.xml"
for i in $(seq 0 63); do printf "\\$(printf %03o "$i")"; done >"$F/pattern/dosboot.b"
dump48() {  # showBuffer of the pattern image with 3f at 24 and 28, N lines of 16
    local i out=' {DOSPREP-showBuffer] --\n'
    for ((i = 0; i < $1 * 16; i++)); do
        ((i % 16 == 0)) && out+=$(printf '\\n%04x:' "$i")
        if ((i == 24 || i == 28)); then out+=' 3f'; else out+=$(printf ' %02x' "$i"); fi
    done
    printf '%s\\n' "$out"
}

# name                    sandbox    arguments                stdout   stderr  status [merged]
check "sfdisk32, test"    "$G"  "--test --sfdisk32"          "$(cmd 63)"  ""  0
table_is "sfdisk32, test" 63 4096512 c
expect "sfdisk32, test: disk untouched" "$(part1)" "start=          63, size=     4096000, type=c"
geometry_bytes "sfdisk32, test" "3f 00 40 00 3f"

check "sfdisk16, level 5"  "$G --vantor $F/pattern"  "--debug5 --test --sfdisk16" \
      "$(D 5)$(geo 255 63 8924)   CylinderBoundry(256, 63, 8924, 2000) \n$(echo1 63 4096512 6)$ECHO3$(cmd 63)$(dump48 3)" "" 0
table_is "sfdisk16, level 5" 63 4096512 6
check "sfdisk16, level 22" "$G --vantor $F/pattern"  "--debugm --test --sfdisk16" \
      "$(D 22)       getPrimaryBootType \n__nIsSFDisk_16__nIsWrite_0__nIsATest_1__nIsATA_0__\n$(geo 255 63 8924)   CylinderBoundry(256, 63, 8924, 2000) \n$(echo1 63 4096512 6)$(cmd 63)$(dump48 4) -1- -2- -6-" "" 0
expect "sfdisk16, level 22: image" "$(bytes "$KEEP/vantor/dosboot.b" 0 64)" "$(bytes "$F/pattern/dosboot.b" 0 24) 3f 19 1a 1b 3f $(bytes "$F/pattern/dosboot.b" 29 35)"

check "ATA forces 255 heads" "--controller ATA --geometry 16/63/8924 --size 2000"  "--debug3 --test --sfdisk16" \
      "$(D 3)$(geo 255 63 8924)   CylinderBoundry(256, 63, 8924, 2000) \n$(echo1 63 4096512 6)$(cmd 63)" "" 0
check "16 heads elsewhere"  "--geometry 16/63/8924 --size 2000"  "--debug3 --test --sfdisk16" \
      "$(D 3)$(geo 16 63 8924)   CylinderBoundry(17, 63, 8924, 2000) \n$(echo1 63 4096575 6)$(cmd 63)" "" 0

check "geodisk"           "$G"  "--geodisk"                  ""  ""  0
table_is "geodisk" 63 4096512 6
expect "geodisk: disk untouched" "$(part1)" "start=          63, size=     4096000, type=c"
geometry_bytes "geodisk" "3f 00 40 00 3f"

check "small size rounds up" "--geometry 255/63/8924 --size 50"  "--test --sfdisk16"  "$(cmd 63)"  ""  0
table_is "small size rounds up" 63 112896 6
check "size past 32 bits"  "$G --vantor $F/huge"  "--test --sfdisk32"  "$(cmd 63)" \
      "Error: dosprep partition size 1048575 MB gives no valid sector count, using 4292902 sectors\n" 0 \
      "Error: dosprep partition size 1048575 MB gives no valid sector count, using 4292902 sectors\n$(cmd 63)"
table_is "size past 32 bits" 63 4292902 c

# Sectors per track 16 through 128 reach dosboot.b; 15 also means bad input.
for row in "16 10 4096000" "128 80 4096000" "15 3f 204800" "129 3f 4128000"; do
    read -r spt b24 size <<<"$row"
    check "$spt sectors per track"  "--geometry 255/$spt/8924 --size 2000"  "--test --sfdisk32"  "$(cmd "$spt")"  ""  0
    table_is "$spt sectors per track" "$spt" "$size" c
    expect "$spt sectors per track: byte 24" "$(bytes "$KEEP/vantor/dosboot.b" 24 1)" "$b24"
done

check "no boot disk"      "--no-disk --size 2000"  "--debug4 --test --sfdisk16" \
      "$(D 4)Open of /dev/sssd failed \n   CylinderBoundry(1, 32, 0, 2000) \n   Error: Bad Input values: C=0 H=1  SPT=32 \n                      Adjust LBA:  204800 \n$(echo1 32 204800 6)$(cmd 32)" "" 0
geometry_bytes "no boot disk" "20 00 40 00 20"
check "geometry fails"    "--no-geometry --size 2000"  "--debug3 --test --sfdisk16" \
      "$(D 3)$(geo 0 0 0)   CylinderBoundry(1, 0, 0, 2000) \n$(echo1 0 204800 6)$(cmd 0)" "" 0
geometry_bytes "geometry fails" "3f 00 40 00 00"

NOFILE="loadFile: Error $XML was not found. \n $XML was not found. "
CLOSED='closeFile: Error The file was already closed. \n'
check "no description"    "$G --setup 'rm $XML'"  "--test --sfdisk32"  "$NODATA$(cmd 63)"  "$NOFILE$CLOSED"  0 \
      "$NOFILE$NODATA$CLOSED$(cmd 63)"
table_is "no description" 63 4292902 c
check "no size tag"       "$G --vantor $F/notag"  "--test --sfdisk32"  "$NODATA$(cmd 63)"  ""  0
table_is "no size tag" 63 4292902 c
NOOUT='Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n'
check "table not writable" "$G --setup 'mkdir /root/vantor/dosboot.sfdisk'"  "--debug1 --test --sfdisk32" \
      "$(D 1)$(cmd 63)"  "$NOOUT"  0  "$(D 1)$NOOUT$(cmd 63)"
geometry_bytes "table not writable" "3f 00 40 00 3f"
check "table disk full"   "$G --setup 'ln -s /dev/full /root/vantor/dosboot.sfdisk'"  "--test --sfdisk32" \
      ""  "Error: dosprep could not write the output file /root/vantor/dosboot.sfdisk, the table is not applied\n"  0
check "no image"          "$G --setup 'rm /root/vantor/dosboot.b'"  "--test --sfdisk16" \
      "$(cmd 63)"  "DOSPREP: Unable to open /root/vantor/dosboot.b\n"  0 \
      "DOSPREP: Unable to open /root/vantor/dosboot.b\n$(cmd 63)"

# Applied for real: sfdisk writes the table into the disk image.
applied() {  # NAME OPTS ARGS: one run, no output compared; $KEEP as after check
    KEEP=$WORK/applied.$ROW
    ROW=$((ROW + 1))
    local -a args
    eval "args=($3)"
    run_in "$2" "$KEEP" "${args[@]}" >"$KEEP.out" 2>"$KEEP.err" </dev/null
    expect "$1: status" "$?" 0
}
applied "sfdisk32 applied"  "$G"  "--debug1 --sfdisk32"
expect "sfdisk32 applied: partition" "$(part1)" "start=          63, size=     4096512, type=c, bootable"
expect "sfdisk32 applied: traces first" "$(head -3 "$KEEP.out")" "$(printf "$(D 1)$(echo1 63 4096512 c)")"
geometry_bytes "sfdisk32 applied" "3f 00 40 00 3f"
applied "sfdisk16 applied"  "--geometry 240/32/8924 --size 2000"  "--sfdisk16"
expect "sfdisk16 applied: partition" "$(part1)" "start=          32, size=     4102784, type=6, bootable"
geometry_bytes "sfdisk16 applied" "20 00 40 00 20"

finish
