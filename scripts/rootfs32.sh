#!/bin/bash
# The 32-bit Wine environment the i686 build's tests run in: a Debian root
# file system with the i386 architecture added and wine32 installed in it,
# kept apart from the host, where wine32 must never go (Debian's wine and
# wineboot scripts would then pick the 32-bit loader for everything).
#
# Built once per machine into a cache folder outside the work tree, so fresh
# clones reuse it: TAVOLIN_ROOTFS32 (default /var/cache/tavolin/rootfs-i386).
#
#   rootfs32.sh          build it when missing, print its path
#   rootfs32.sh vm       the same, plus Debian's kernel and an initrd that
#                        can mount the root file system over 9p, for booting
#                        it in QEMU where the host cannot run 32-bit code
#   rootfs32.sh chroot COMMAND...
#                        run an amd64 COMMAND inside it (package work)
#
# Only folders carrying this script's marker are ever replaced or removed.
set -euo pipefail
rootfs="${TAVOLIN_ROOTFS32:-/var/cache/tavolin/rootfs-i386}"
marker=.tavolin-rootfs32
# Bump the recipe when the packages change: a root file system built from
# another recipe is rebuilt.
packages=(wine wine32 wine64 libwine:i386 xvfb xauth cmake)
vm_packages=(linux-image-amd64 initramfs-tools)
recipe="1 ${packages[*]}"

say() { echo "rootfs32: $*" >&2; }

# Runs COMMAND in the root file system with /proc, /sys and /dev of the host,
# in a mount namespace of its own: the mounts vanish with the command, so
# nothing of the host is ever left mounted inside the cache folder.
in_root() {
    local dir=$1
    shift
    unshare --mount --propagation private bash -c '
        dir=$1; shift
        for m in proc sys dev dev/pts; do mount --rbind "/$m" "$dir/$m"; done
        exec chroot "$dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            DEBIAN_FRONTEND=noninteractive "$@"' in_root "$dir" "$@"
}

# The host's Debian entries for its own release (the release, -updates and
# -security), as "URI SUITE COMPONENTS" lines, from both the one-line and the
# deb822 source formats. Third-party repositories use other suite names.
host_sources() {
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    {
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            sed -e 's/#.*//' -e 's/\[[^]]*\]//' | awk '$1 == "deb" { $1 = ""; print }'
        for file in /etc/apt/sources.list.d/*.sources; do
            [ -e "$file" ] || continue
            awk 'function flush() { if (types ~ /(^| )deb( |$)/) for (u in uris) for (s in suites) print uris[u], suites[s], comps
                                    delete uris; delete suites; types = ""; comps = "" }
                 /^[ \t]*$/ { flush(); next }
                 /^#/ { next }
                 { key = tolower($1); $1 = "" ; sub(/^ +/, "") }
                 key == "types:" { types = $0 }
                 key == "uris:" { split($0, uris, " ") }
                 key == "suites:" { split($0, suites, " ") }
                 key == "components:" { comps = $0 }
                 key == "enabled:" && tolower($0) == "no" { types = "" }
                 END { flush() }' "$file"
        done
    } | awk -v c="$codename" '$2 == c || index($2, c "-") == 1 { $1 = $1; print }' | sort -u
}

build_base() {
    local sources mirror codename work
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    sources=$(host_sources)
    mirror=$(echo "$sources" | awk -v c="$codename" '$2 == c { print $1; exit }')
    if [ -z "$mirror" ]; then
        say "no Debian source for $codename in /etc/apt/sources.list*"
        exit 1
    fi
    command -v debootstrap >/dev/null || {
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
    }
    work="$rootfs.building"
    # A half-built folder of an earlier, interrupted run is ours to remove.
    if [ -e "$work" ]; then
        [ -f "$work/$marker" ] || { say "$work exists and was not made here; remove it or set TAVOLIN_ROOTFS32"; exit 1; }
        rm -rf --one-file-system "$work"
    fi
    mkdir -p "$work"
    echo "building" >"$work/$marker"
    say "building the 32-bit Wine environment in $rootfs (first time on this machine: a few minutes)"
    local start=$SECONDS
    debootstrap --variant=minbase "$codename" "$work" "$mirror" >"$work.log" 2>&1 ||
        { cat "$work.log" >&2; exit 1; }
    echo "$sources" | awk '{ uri = $1; suite = $2; $1 = ""; $2 = ""; sub(/^ +/, ""); print "deb", uri, suite, $0 }' \
        >"$work/etc/apt/sources.list"
    cp /etc/resolv.conf "$work/etc/resolv.conf" 2>/dev/null || true
    echo "building" >"$work/$marker"
    in_root "$work" dpkg --add-architecture i386
    in_root "$work" apt-get update -qq >>"$work.log" 2>&1 || { cat "$work.log" >&2; exit 1; }
    in_root "$work" apt-get install -y -qq --no-install-recommends "${packages[@]}" >>"$work.log" 2>&1 ||
        { cat "$work.log" >&2; exit 1; }
    in_root "$work" apt-get clean
    rm -f "$work.log"
    echo "$recipe" >"$work/$marker"
    mv "$work" "$rootfs"
    say "built in $((SECONDS - start)) s"
}

ensure_base() {
    if [ -e "$rootfs" ] && [ ! -f "$rootfs/$marker" ]; then
        say "$rootfs exists and was not made by this project; remove it or set TAVOLIN_ROOTFS32"
        exit 1
    fi
    if [ -f "$rootfs/$marker" ] && [ "$(head -n1 "$rootfs/$marker")" != "$recipe" ]; then
        say "$rootfs was built from another recipe; rebuilding"
        rm -rf --one-file-system "$rootfs"
    fi
    [ -e "$rootfs" ] || build_base
}

# Debian's kernel and an initrd with the 9p modules, for booting the root
# file system in QEMU with the root itself shared from the host.
ensure_vm() {
    grep -qx vm "$rootfs/$marker" && return 0
    say "adding Debian's kernel for booting in QEMU"
    in_root "$rootfs" apt-get install -y -qq --no-install-recommends "${vm_packages[@]}" >/dev/null
    printf '%s\n' 9p 9pnet 9pnet_virtio virtio_pci >"$rootfs/etc/initramfs-tools/modules"
    in_root "$rootfs" update-initramfs -u -k all >/dev/null
    in_root "$rootfs" apt-get clean
    echo vm >>"$rootfs/$marker"
}

mkdir -p "$(dirname "$rootfs")"
# One builder at a time per machine: work trees share the cache.
exec 9>"$rootfs.lock"
flock 9
case "${1:-}" in
    "") ensure_base; echo "$rootfs" ;;
    vm) ensure_base; ensure_vm; echo "$rootfs" ;;
    chroot) shift; ensure_base; flock -u 9; in_root "$rootfs" "$@" ;;
    *) echo "usage: rootfs32.sh [vm | chroot COMMAND...]" >&2; exit 2 ;;
esac
