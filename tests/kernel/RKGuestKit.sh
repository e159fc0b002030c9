#!/usr/bin/env bash
# Prepares what a test guest boots: the distribution's kernel, the few
# modules the guest loads (in dependency order) and an initramfs holding a
# static busybox, the guest's /init and its command agent.
#
#   RKGuestKit.sh KIT_DIR GUEST_SOURCE_DIR
#
# The kernel and modules are fetched once; a later run reuses them and only
# rebuilds the initramfs when one of its inputs changed. Any failure ends the
# run with a message and a nonzero status.
set -euo pipefail

KIT=${1:?kit folder}
GUEST=${2:?guest source folder}

# The modules /init loads; their dependencies are added before them. The
# USB ones come last: /init holds them back until the other drives are
# there, so that USB drives are numbered after them.
WANTED="scsi_common scsi_mod cdrom sr_mod sg virtio_ring virtio virtio_pci_modern_dev
virtio_pci_legacy_dev virtio_pci virtio_scsi netfs fscache 9pnet 9pnet_virtio 9p libata ata_piix
libahci ahci usb-common usbcore xhci-hcd xhci-pci usb-storage"

fail() {
    echo "RKGuestKit: $*" >&2
    exit 1
}

need() {
    command -v "$1" >/dev/null 2>&1 || fail "'$1' not found ($2)"
}

find_modinfo() {
    local cand
    for cand in modinfo /sbin/modinfo /usr/sbin/modinfo; do
        if command -v "$cand" >/dev/null 2>&1; then
            echo "$cand"
            return
        fi
    done
    fail "'modinfo' not found (package kmod)"
}

find_busybox() {
    local cand
    for cand in /bin/busybox /usr/bin/busybox "$(command -v busybox || true)"; do
        [ -n "$cand" ] && [ -x "$cand" ] || continue
        # The initramfs has no libraries: only a static build runs there.
        if ! ldd "$cand" >/dev/null 2>&1; then
            echo "$cand"
            return
        fi
    done
    fail "no static busybox found (package busybox-static)"
}

need apt-get "package apt"
need dpkg-deb "package dpkg"
need cpio "package cpio"
need gzip "package gzip"
MODINFO=$(find_modinfo)
BUSYBOX=$(find_busybox)

mkdir -p "$KIT"
KIT=$(cd "$KIT" && pwd)

# Kernel and modules: fetched when the kit has none yet.
fetch_kernel() {
    local deb="$KIT/deb" tree="$KIT/tree.tmp" meta image version
    rm -rf "$deb" "$tree" "$KIT/modules" "$KIT/vmlinuz" "$KIT/kernel.version"
    mkdir -p "$deb"
    echo "RKGuestKit: fetching linux-image-amd64"
    (cd "$deb" && apt-get download -q linux-image-amd64 >/dev/null 2>"$deb/apt.log") ||
        fail "apt-get download linux-image-amd64 failed: $(tail -n 3 "$deb/apt.log")"
    meta=$(ls "$deb"/linux-image-amd64_*.deb 2>/dev/null | head -n 1)
    [ -n "$meta" ] || fail "apt-get download left no linux-image-amd64 package"
    image=$(dpkg-deb -f "$meta" Depends | tr ',' '\n' | sed -n 's/^ *\(linux-image-[^ (]*\).*/\1/p' | head -n 1)
    [ -n "$image" ] || fail "linux-image-amd64 names no kernel package"
    echo "RKGuestKit: fetching $image"
    (cd "$deb" && apt-get download -q "$image" >/dev/null 2>"$deb/apt.log") ||
        fail "apt-get download $image failed: $(tail -n 3 "$deb/apt.log")"
    local pkg
    pkg=$(ls "$deb/$image"_*.deb 2>/dev/null | head -n 1)
    [ -n "$pkg" ] || fail "apt-get download left no $image package"
    dpkg-deb -x "$pkg" "$tree" || fail "dpkg-deb -x $pkg failed"

    version=$(ls "$tree/lib/modules" | head -n 1)
    [ -n "$version" ] || fail "$pkg holds no modules"
    [ -f "$tree/boot/vmlinuz-$version" ] || fail "$pkg holds no boot/vmlinuz-$version"
    cp "$tree/boot/vmlinuz-$version" "$KIT/vmlinuz.tmp"

    # Each wanted module after its dependencies, once.
    local root="$tree/lib/modules/$version" order="" seen=" "
    mkdir -p "$KIT/modules.tmp"
    visit() {
        local name=$1 file dep deps
        case "$seen" in *" $name "*) return ;; esac
        seen="$seen$name "
        file=$(find "$root" -name "$name.ko" -o -name "$name.ko.xz" -o -name "$name.ko.zst" -o -name "$name.ko.gz" |
            head -n 1)
        [ -n "$file" ] || fail "module $name is not in $pkg"
        deps=$("$MODINFO" -F depends "$file") || fail "modinfo $file failed"
        for dep in ${deps//,/ }; do
            visit "$dep"
        done
        case "$file" in
        *.xz) xz -dc "$file" >"$KIT/modules.tmp/$name.ko" ;;
        *.zst) zstd -qdc "$file" >"$KIT/modules.tmp/$name.ko" ;;
        *.gz) gzip -dc "$file" >"$KIT/modules.tmp/$name.ko" ;;
        *) cp "$file" "$KIT/modules.tmp/$name.ko" ;;
        esac || fail "cannot decompress $file"
        order="$order$name"$'\n'
    }
    local name
    for name in $WANTED; do
        visit "$name"
    done
    printf '%s' "$order" >"$KIT/modules.tmp/order"
    echo "$WANTED" >"$KIT/modules.tmp/wanted"

    mv "$KIT/modules.tmp" "$KIT/modules"
    mv "$KIT/vmlinuz.tmp" "$KIT/vmlinuz"
    rm -rf "$tree" "$deb"
    echo "$version" >"$KIT/kernel.version"
    echo "RKGuestKit: kernel $version"
}

if [ ! -s "$KIT/kernel.version" ] || [ ! -s "$KIT/vmlinuz" ] || [ ! -s "$KIT/modules/order" ] ||
    [ "$(cat "$KIT/modules/wanted" 2>/dev/null)" != "$(echo "$WANTED")" ]; then
    fetch_kernel
fi

# Initramfs: rebuilt when /init, the agent, busybox or the modules changed.
INITRD="$KIT/initramfs.gz"
INPUTS=("$GUEST/init" "$GUEST/agent.sh" "$BUSYBOX" "$KIT/modules/order" "$0")
rebuild=0
[ -s "$INITRD" ] || rebuild=1
for input in "${INPUTS[@]}"; do
    [ -f "$input" ] || fail "missing $input"
    [ "$input" -nt "$INITRD" ] && rebuild=1
done
if [ "$rebuild" = 1 ]; then
    stage="$KIT/initramfs.tmp"
    rm -rf "$stage"
    mkdir -p "$stage"/{bin,dev,proc,sys,host,etc,lib/modules}
    cp "$BUSYBOX" "$stage/bin/busybox"
    ln -s busybox "$stage/bin/sh"
    cp "$GUEST/init" "$stage/init"
    cp "$GUEST/agent.sh" "$stage/etc/agent.sh"
    chmod 0755 "$stage/init"
    cp "$KIT/modules/"*.ko "$KIT/modules/order" "$stage/lib/modules/"
    (cd "$stage" && find . | LC_ALL=C sort | cpio -o -H newc --quiet | gzip -9n) >"$INITRD.tmp" ||
        fail "cannot build the initramfs"
    mv "$INITRD.tmp" "$INITRD"
    rm -rf "$stage"
    echo "RKGuestKit: initramfs $(du -k "$INITRD" | cut -f1) KiB"
fi
echo "RKGuestKit: ready in $KIT (kernel $(cat "$KIT/kernel.version"))"
