# The static programs (DOSPREP_STATIC) where no C library is: an empty root
# that holds a static busybox, the archive of cpack -G TGZ unpacked in /opt,
# a disk image and /root/vantor. dosprep runs there under chroot, and its
# --sfdisk32 reaches an sfdisk through its front end. A build that is not
# static gets a static one of the two programs in the scratch directory.
# Skips (77) when not root or without chroot, unshare, file or a static
# busybox (package busybox-static).
. "$(dirname "$0")/../lib/functions.sh"

[ "$(id -u)" = 0 ] || { echo "SKIP: chroot needs root"; exit 77; }
skip_unless chroot unshare file cpack tar
BUSYBOX=/bin/busybox
[ -x "$BUSYBOX" ] && ! ldd "$BUSYBOX" >/dev/null 2>&1 || { echo "SKIP: no static $BUSYBOX (busybox-static)"; exit 77; }

BUILD=${DOSPREP_BUILD:-$(dirname "$BIN")}
if ! grep -qx 'DOSPREP_STATIC:BOOL=ON' "$BUILD/CMakeCache.txt" 2>/dev/null; then
    BUILD=$WORK/static
    { cmake -S "$SRC" -B "$BUILD" -DDOSPREP_STATIC=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON &&
      cmake --build "$BUILD" -j2 --target dosprep dosprep_sfdisk; } >"$WORK/build.log" 2>&1 ||
        { cat "$WORK/build.log"; echo "FAIL: the static build"; exit 1; }
fi
NAME=dosprep-0.5.11-linux-x86_64-static
(cd "$BUILD" && cpack -G TGZ -B "$WORK/pkg") >"$WORK/cpack.log" 2>&1 || cat "$WORK/cpack.log"
expect "archive contents" "$(tar -tvzf "$WORK/pkg/$NAME.tar.gz" | awk '$1 !~ /^d/ {print $1, $6}')" \
"-rw-r--r-- $NAME/COPYING
-rwxr-xr-x $NAME/bin/dosprep
-rwxr-xr-x $NAME/lib/dosprep/bin/sfdisk
-rw-r--r-- $NAME/share/man/man8/dosprep.8"

# The root: busybox and its applets, the archive, a boot disk with an MBR
# (identifier 0b0075ec) whose geometry the kernel cannot tell (a plain
# file), and an sfdisk that answers as util-linux 2.38 and records its call.
R=$WORK/root
mkdir -p "$R"/{bin,dev,proc,tmp,opt,usr/sbin,root/vantor} && cp "$BUSYBOX" "$R/bin/busybox"
for a in $("$BUSYBOX" --list-full); do [ -e "$R/$a" ] || { mkdir -p "$R/${a%/*}" && ln -s /bin/busybox "$R/$a"; }; done
tar -xzf "$WORK/pkg/$NAME.tar.gz" -C "$R/opt"
expect "both programs static" "$(cd "$R/opt/$NAME" && file -b bin/dosprep lib/dosprep/bin/sfdisk |
    grep -c 'statically linked')" 2
{ head -c 440 /dev/zero; printf '\354\165\000\013'; head -c 66 /dev/zero; printf '\125\252'; } >"$R/dev/sda"
truncate -s 1M "$R/dev/sda" && ln -s /dev/sda "$R/dev/sssd" && : >"$R/dev/null"
printf '<bootpartition>\n  <megabytesize>400</megabytesize>\n</bootpartition>\n' >"$R/root/vantor/bootpartition.xml"
printf 'SCSI\n' >"$R/root/vantor/ssprimary" && head -c 512 /dev/zero >"$R/root/vantor/dosboot.b"
printf '#!/bin/sh\n[ "$1" = --version ] && { echo "sfdisk from util-linux 2.38.1"; exit; }\n%s\n' \
    'echo "$@" >/tmp/sfdisk.args; cat >/tmp/sfdisk.in; echo "sfdisk ran"' >"$R/usr/sbin/sfdisk"
chmod +x "$R/usr/sbin/sfdisk"
inroot() { # ARGS...: the archive's dosprep in the root, with /proc and /dev/null
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root unshare -m --propagation private -- sh -c \
        'mount -t proc proc "$1/proc" && mount --bind /dev/null "$1/dev/null" && shift && exec chroot "$@"' \
        _ "$R" "$R" "/opt/$NAME/bin/dosprep" "$@" 2>&1
}

expect "--version in the root" "$(inroot --version; echo "status $?")" "dosprep ver 0.5.11
status 0"
# No geometry: the partition gets 100 MB, and the current sfdisk gets the
# table as a DOS one with the disk's identifier, without -S.
out=$(inroot --sfdisk32; echo "status $?")
expect "--sfdisk32 through the front end" "$out; $(cat "$R/tmp/sfdisk.args"); $(cat "$R/tmp/sfdisk.in")" \
"sfdisk ran
status 0; --force /dev/sssd; label: dos
label-id: 0x0b0075ec
# partition table of /dev/sssd
unit: sectors

/dev/sssd1 : start=       0, size= 204800, Id= c, bootable
/dev/sssd2 : start=        0, size=       0, Id= 0
/dev/sssd3 : start=        0, size=       0, Id= 0
/dev/sssd4 : start=        0, size=       0, Id= 0"

# The sandbox simulates the geometry with a preloaded library, which a
# static program does not load; the VM's kernel gives it a real one.
P=$R/opt/$NAME/bin/dosprep
out=$("$SANDBOX" --binary "$P" -- --version 2>&1)
expect "sandbox refuses" "$?: $out" "125: dosprep-sandbox: $P is statically linked, so the geometry library\
 cannot be preloaded into it: rehearse it with --vm DRIVER (or --no-geometry), or give a dynamically linked build (--binary)"
if command -v qemu-system-x86_64 >/dev/null && "$SRC/sandbox/vm/kernel" >/dev/null 2>&1; then
    "$SANDBOX" --binary "$P" --vm ide --geometry 255/63/1000 --size 400 --report "$WORK/report" -- --sfdisk32 \
        >"$WORK/vm.out" 2>&1 </dev/null
    expect "in the VM" "status $?; $(grep '^== dosprep:' "$WORK/report");\
 $(grep '^/dev/sssd1 : ' "$WORK/report" | tail -n 1)" "status 0; == dosprep: statically linked;\
 /dev/sssd1 : start=          63, size=      822528, type=c, bootable" || cat "$WORK/vm.out"
else
    echo "SKIP: the VM row (no QEMU or no kernel for the VM)"
fi

finish
