# Boot verdicts for any boot code: what the machine read, by what lies
# there, and why it booted or not: a boot loader that reads by LBA
# (syslinux) under any BIOS geometry, the sample program under a BIOS of
# other heads, mkfs.fat's own boot code, and a CHS boot sector that starts a
# file by name, judged through the stand-in of --loader.
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64
# The sample FAT32 boot sector made into one that starts LOADER.SYS.
LOADS="--setup 'DISKBYTES=$DOSPREP_BUILD/sandbox/diskbytes $SRC/sandbox/boot/put-bootcode FAT32 $DOSPREP_BUILD/sandbox/boot/fat32load.bin /root/vantor/dos98boot.b'"
MK="--setup 'mkfs.fat -F 32 /dev/sssd1'"
SYSLINUX="$MK --after 'syslinux --install /dev/sssd1' --mbr /usr/lib/syslinux/mbr/mbr.bin"

# name | sandbox options (after --boot --sfdisk32 setup) | dosprep | lines of the boot section, in order (globs)
declare -A section
while IFS='|' read -r name opts args want; do
    [[ $name != syslinux* ]] || [[ -f /usr/lib/syslinux/mbr/mbr.bin ]] && command -v syslinux >/dev/null ||
        { echo "SKIP: $name (syslinux missing)"; continue; }
    eval "set -- $opts"
    got=$("$SANDBOX" --binary "$BIN" --boot --setup 'dosprep --sfdisk32' "$@" --report - -- $args 2>/dev/null </dev/null |
        sed -n '/^== boot under/,$p')
    section[${name%"${name##*[! ]}"}]=$got
    want=${want//' ; '/$'\x1f'}
    IFS=$'\x1f' read -ra globs <<<"$want"
    res='' n=0
    for g in "${globs[@]}"; do
        g=${g# } g=${g% }
        while IFS= read -r l; do n=$((n + 1)); [[ $l == $g ]] && continue 2; done < <(tail -n +$((n + 1)) <<<"$got")
        res="missing '$g' in: $got"
        break
    done
    expect "${name%"${name##*[! ]}"}" "${res:-ok}" ok
done <<ROWS
syslinux, BIOS's own   |--geometry 255/63/1000 --size 400 $SYSLINUX|--write32|== boot under a BIOS of 255/63 ; read sector 17799: LDLINUX.SYS clusters * ; the boot code loaded LDLINUX.SYS and ran it ; booted
syslinux, BIOS 128/63  |--geometry 255/63/1000 --size 400 $SYSLINUX --bios-geometry 128/63|--write32|== boot under a BIOS of 128/63 ; read sector 17799: LDLINUX.SYS clusters * ; the boot code loaded LDLINUX.SYS and ran it ; booted
sample, 2 GiB          |--geometry 255/63/261 --size 1000|--write32|== boot under a BIOS of 128/63 ; read sector 63: boot sector of partition 1 ; read sector 2111: root directory ; the boot code read sector 10206 (FILLER.BIN cluster 507) after the root directory at sector 2111, where its parameter block puts no file it names (BOOTMSG.TXT); BIOS 128/63, boot sector 255/63 ; did not boot
sample, 2 GiB, 128/63  |--geometry 255/63/261 --size 1000 --bios-geometry 128/63|--write32|== boot under a BIOS of 128/63 ; the boot code read sector 10206 (FILLER.BIN cluster 507) after * ; did not boot
mkfs.fat's boot code   |--geometry 255/63/1000 --size 400 $MK|-v|== boot under a BIOS of 255/63 ; This is not a bootable disk.* ; read sector 0: MBR, 2 reads ; read sector 63: boot sector of partition 1 ; the boot code stopped on its own message: "* ; did not boot
CHS loader, 255/63     |--geometry 255/63/1000 --size 400 $LOADS --loader loader.sys|--write32|== boot under a BIOS of 255/63 ; the sandbox put a stand-in loader on partition 1 as LOADER.SYS ; STAND-IN LOADER: jumped into it ; read sector 1695: root directory ; read sector 17783: LOADER.SYS cluster 2013 ; the boot code jumped into LOADER.SYS ; booted
CHS loader, 128/63     |--geometry 255/63/1000 --size 400 $LOADS --loader loader.sys --bios-geometry 128/63|--write32|== boot under a BIOS of 128/63 ; the boot code read sector 9782 (FILLER.BIN cluster 1012) after the root directory at sector 1695, where its parameter block puts no file it names (LOADER.SYS); BIOS 128/63, boot sector 255/63 ; did not boot
CHS loader, no file    |--geometry 255/63/1000 --size 400 $LOADS|--write32|== boot under a BIOS of 255/63 ; FAT32 boot: no LOADER.SYS ; names in the boot sector: LOADER.SYS (a stand-in for one: --loader NAME) ; the boot code stopped on its own message: "FAT32 boot: no LOADER.SYS" ; did not boot
ROWS
# mkfs.fat's boot code reads nothing past its own sector.
expect "mkfs.fat's boot code: reads" "$(grep -c '^read sector' <<<"${section["mkfs.fat's boot code"]}")" 2
finish
