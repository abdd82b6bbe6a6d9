#!/bin/bash
# dosprep-sandbox --vm as root against hostile input: kernel packages whose
# release climbs out of the cache, whose links lead elsewhere, with device
# nodes and setuid files; a transfer disk and a guest that plant links,
# nodes, setuid files and open directories among the results. Every row
# checks that the sentinel directory they aim at did not change, nor the
# kernel cache's entries beyond the row's own. One VM boot.
# Skips (77) without QEMU, dpkg-deb or a kernel for the VM.
# Usage: t_hostile_vm.sh path/to/dosprep
. "$(dirname "$0")/../lib/functions.sh"
skip_unless qemu-system-x86_64 dpkg-deb
# The kernel script's answer, less the uncompressed kernel it may add.
kernel_script() { "$SRC/sandbox/vm/kernel" "$@" | grep -v '^pvh='; return "${PIPESTATUS[0]}"; }
KERNEL=kernel_script
default=$("$KERNEL" 2>/dev/null) || { echo "SKIP: no kernel for the VM (tools/deps)"; exit 77; }
image=$(sed -n 's/^image=//p' <<<"$default")
release=$(sed -n 's/^version=//p' <<<"$default")
cache=${XDG_CACHE_HOME:-$HOME/.cache}/dosprep-sandbox/kernels
sums=()
trap 'for s in "${sums[@]}"; do rm -rf "$cache/given/$s"; done; rm -rf "$WORK"' EXIT

# What the rows aim at: a root-only file, a modules directory and the
# directory a climbing release would name.
sentinel=$WORK/sentinel
mkdir -p "$sentinel/modules" "$sentinel/victim" "$sentinel/victim.old" &&
	: >"$sentinel/victim/modules.dep" && echo "do not print" >"$sentinel/secret" && chmod 600 "$sentinel/secret"
sentinel() { (cd "$sentinel" && find . -printf '%p %M %s %T@\n' && find . -type f -exec sha256sum {} +) | sha256sum; }
entries() { ls -a "$cache/fetched" "$cache/given" 2>/dev/null; }
# Entries of the whole cache that no kernel tree should hold.
unplain() { find "${cache%/*}" \( -perm /6000 -o ! -type f ! -type d ! -type l \) -printf '%P\n' | head -n 3; }

pkg() { # NAME: $WORK/NAME, the tree of a package with the VM's own kernel and no modules
	mkdir -p "$WORK/$1/DEBIAN" "$WORK/$1/boot" "$WORK/$1/lib/modules/$release" &&
		printf 'Package: linux-image-test\nVersion: 1\nArchitecture: amd64\nMaintainer: Test <test@example.org>\nDescription: test\n' \
			>"$WORK/$1/DEBIAN/control" && cp "$image" "$WORK/$1/boot/vmlinuz-$release"
}
deb() { # NAME: $WORK/NAME.deb of the tree
	dpkg-deb --build --root-owner-group -Znone "$WORK/$1" "$WORK/$1.deb" >/dev/null &&
		sums+=("$(sha256sum <"$WORK/$1.deb" | cut -c 1-64)")
}
set_release() { # IMAGE RELEASE: the release string the image's header points at
	local off
	off=$(od -An -tu2 -j526 -N2 "$1" | tr -d ' ')
	printf '%s\0' "$2" | dd of="$1" bs=1 seek=$((off + 512)) conv=notrunc status=none
}
climb=$release/../../../../../../..$sentinel/victim
why="is not a plain release name (digits first, then letters, digits and . _ + ~ -, like 6.1.0-57-amd64)"

# Refused before anything runs, the sentinel and the cache as they were.
# name | how the package differs | message after "dosprep-sandbox: --kernel: "
while IFS='|' read -r name make want; do
	was="$(sentinel) $(entries)"
	pkg "$name" && eval "$make" && deb "$name"
	file=$WORK/$name.deb
	[[ $name != image* ]] || file=$WORK/$name/boot/vmlinuz-$release
	msg=$("$SANDBOX" --binary "$BIN" --vm ide --kernel "$file" 2>&1 </dev/null)
	expect "$name" "$?: $msg; $(sentinel) $(entries); $(unplain)" "125: dosprep-sandbox: --kernel: $file$want; $was; "
done <<ROWS
release climbs out|set_release "\$WORK/\$name/boot/vmlinuz-$release" "$climb"|: boot/vmlinuz-$release: the kernel's release '$climb' $why
image release climbs out|set_release "\$WORK/\$name/boot/vmlinuz-$release" "$climb"|: the kernel's release '$climb' $why
node, setuid, link out|mknod -m 666 "\$WORK/\$name/boot/blk" b 7 0 && echo x >"\$WORK/\$name/boot/su" && chmod 4755 "\$WORK/\$name/boot/su" && rmdir "\$WORK/\$name/lib/modules/$release" && ln -s "$sentinel/modules" "\$WORK/\$name/lib/modules/$release"| holds boot/blk, a device node, FIFO or socket: refused (a kernel package has none)
modules link out|rmdir "\$WORK/\$name/lib/modules/$release" && ln -s "$sentinel/modules" "\$WORK/\$name/lib/modules/$release"| holds the link lib/modules/$release -> $sentinel/modules, which leads out of the package: refused
modules link climbs|rmdir "\$WORK/\$name/lib/modules/$release" && ln -s "../../../../../../../..$sentinel/modules" "\$WORK/\$name/lib/modules/$release"| holds the link lib/modules/$release -> ../../../../../../../..$sentinel/modules, which leads out of the package: refused
ROWS

# A package with a setuid file and an open directory is taken without them,
# under its digest, once; the default stays the kernel it was; an unpack
# left by a process that is gone goes, one of a live process stays.
pkg plain && echo x >"$WORK/plain/boot/su" && chmod 4755 "$WORK/plain/boot/su" && mkdir -m 777 "$WORK/plain/boot/open" &&
	deb plain
sleep 0 & wait $! 2>/dev/null
mkdir -p "$cache/given/.unpack.$!.AAAAAA/tree" "$cache/given/.unpack.$$.AAAAAA" &&
	touch -d '1 hour ago' "$cache/given/.unpack.$!.AAAAAA" "$cache/given/.unpack.$$.AAAAAA"
was=$(sentinel)
got=$("$KERNEL" --kernel "$WORK/plain.deb" 2>&1)
inode=$(stat -c %i "$cache/given/${sums[-1]}")
expect "plain package" "$got; $("$KERNEL" --kernel "$WORK/plain.deb" 2>&1); $(stat -c %i "$cache/given/${sums[-1]}")
$(find "$cache/given/${sums[-1]}/boot" -printf '%M %P\n' | LC_ALL=C sort | paste -sd ';'); $(ls -a "$cache/given" | grep -c '^\.unpack\.')
$("$KERNEL"); $(sentinel); $(unplain)" \
	"image=$cache/given/${sums[-1]}/boot/vmlinuz-$release
modules=$cache/given/${sums[-1]}/lib/modules/$release
version=$release; $got; $inode
-rw-r--r-- vmlinuz-$release;-rwxr-xr-x su;drwxr-xr-x ;drwxr-xr-x open; 1
$default; $was; "
rm -rf "$cache/given/.unpack.$$.AAAAAA"

# A transfer disk as a hostile guest may write it: links (one to a
# directory that a later file goes through), a hard link, a device node
# open to all, a FIFO, a setuid file, an open directory, a name climbing
# out, a sparse file bigger than the bound. Only the plain files come back.
t=$WORK/xfer
mkdir -p "$t/a/vantor" "$t/b/d" "$t/out" && (cd "$t/a" && echo ok >complete && echo v >vantor/x &&
	ln -s "$sentinel/secret" dosprep.out && ln -s "$sentinel/secret" vantor/leak && ln -s "$sentinel" d &&
	mknod -m 666 blk b 7 0 && mkfifo fifo && echo s >su && chmod 4755 su && mkdir -m 777 open && echo f >open/f &&
	ln complete hard && truncate -s 40M big && echo x >"$t/b/d/x" && cd "$t" &&
	tar -S -cf x.tar -C a . && tar -rf x.tar -C b d/x && tar --transform 's,^,../../,' -rf x.tar -C b d/x 2>/dev/null &&
	{ printf 'DOSPREP-VM-OUT\n' && head -c 497 /dev/zero && cat x.tar; } >xfer.img)
was=$(sentinel)
"$SRC/sandbox/vm/results" "$t/xfer.img" "$t/out" 2>"$t/err"
expect "transfer disk" "$?; $(cd "$t/out" && find . -mindepth 1 -printf '%M %P\n' | LC_ALL=C sort | paste -sd ';')
$(LC_ALL=C sort "$t/err"); $(sentinel)" "0; -rw------- complete;-rw------- d/x;-rw------- open/f;-rw------- su;-rw------- vantor/x;drwx------ d;drwx------ open;drwx------ vantor
results: from the VM: left out ../../d/x: not a plain name
results: from the VM: left out ./blk: a device node, FIFO or socket
results: from the VM: left out ./d: a symbolic link
results: from the VM: left out ./dosprep.out: a symbolic link
results: from the VM: left out ./fifo: a device node, FIFO or socket
results: from the VM: left out ./hard: a hard link
results: from the VM: left out ./vantor/leak: a symbolic link
results: from the VM: left out big: bigger than 33554432 bytes; $was"

# The same from a real guest: a check plants them in /out, dosprep's
# output and another file become links to the root-only file.
plant="cd /out/0 && for f in dosprep.out dosprep.stdout dosprep.stderr; do rm -f \$f; ln -s $sentinel/secret \$f; done"
plant+=" && ln -s $sentinel/secret leak && ln -s $sentinel d && mknod blk b 7 0 && chmod 666 blk && mkfifo fifo"
plant+=" && echo x >su && chmod 4755 su && mkdir -m 777 open && echo f >open/f"
was=$(sentinel)
"$SANDBOX" --binary "$BIN" --vm ide --keep "$WORK/keep" --check "$plant" --report "$WORK/report" \
	>"$WORK/out" 2>"$WORK/err" </dev/null
got="status $?"
[[ $got == "status 0" ]] || cat "$WORK/err"
expect "guest plants" "$got; $(cat "$WORK/out" "$WORK/err" "$WORK/report" | grep -c 'do not print')
$(find "$WORK/keep" \( -type l -o ! -type f ! -type d -o -perm /6000 -o -perm -o+w \) -printf '%P\n')
$(grep -c "left out" "$WORK/err"); $(grep -c '^status 0$' "$WORK/report"); $(sentinel)" "status 0; 0

7; 1; $was"

# A fleet's hand-over directory that is not the empty one a fleet makes is
# refused before the VM, and what is in it stays.
mkdir -p "$WORK/batch" && echo keep >"$WORK/batch/mine"
DOSPREP_SANDBOX_VM_BATCH=$WORK/batch "$SANDBOX" --binary "$BIN" --vm ide </dev/null >/dev/null 2>"$WORK/err"
expect "hand-over directory" "status $?; $(cat "$WORK/err"); $(ls "$WORK/batch")" \
	"status 125; dosprep-sandbox: DOSPREP_SANDBOX_VM_BATCH $WORK/batch: not the empty directory a fleet makes; mine"
finish
