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
#   rootfs32.sh current [vm]
#                        succeed when it is there, from this recipe (and
#                        ready for QEMU), without building anything
#   rootfs32.sh sources  print the host's Debian sources it is built from
#
# Only folders carrying this script's marker are ever replaced or removed.
# Runs using it hold its lock shared (tavolin_use_rootfs32 in lock.sh); it is
# built, rebuilt or changed only under the exclusive lock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
. "$here/lock.sh"
rootfs="${TAVOLIN_ROOTFS32:-/var/cache/tavolin/rootfs-i386}"
marker=.tavolin-rootfs32
# Bump the recipe when the packages change: a root file system built from
# another recipe is rebuilt.
packages=(wine wine32 wine64 libwine:i386 xvfb xauth cmake)
vm_packages=(linux-image-amd64 initramfs-tools)
recipe="1 ${packages[*]}"
# Added to a root file system in place, each noted in its marker, so that a
# checkout without them still finds its recipe and rebuilds nothing: Wine's
# own fonts (Marlett draws the caption buttons).
added_packages=(fonts-wine)

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

# The host's sources from the Debian archive itself for its own release (the
# release, -updates and -security), as "URI SUITE COMPONENTS" lines. apt reads
# the sources in both formats; an entry counts when the Release file apt
# fetched for it names Debian as its origin. Third-party repositories, even
# those whose suite is named after the release, stay out: the root file
# system trusts Debian's keys only.
host_sources() {
    local codename lists
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    eval "$(apt-config shell lists Dir::State::lists/d)"
    apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(BASE_URI)' \
            'Identifier: Packages' 'Target-Of: deb' |
        awk -v c="$codename" '$2 == c || index($2, c "-") == 1' | sort -u |
        while read -r uri suite component base; do
            # apt's name for the fetched Release file of the entry.
            local file="$lists$(echo "${base#*://}" | sed -e 's|^[^@/]*@||' -e 's|/|_|g')"
            grep -qsx 'Origin: Debian' "${file}InRelease" "${file}Release" && echo "${uri%/} $suite $component"
        done |
        awk '{ key = $1 " " $2 } !(key in comps) { order[++n] = key } { comps[key] = comps[key] " " $3 }
             END { for (i = 1; i <= n; ++i) print order[i] comps[order[i]] }'
}

build_base() {
    local sources mirror codename work
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    sources=$(host_sources)
    mirror=$(echo "$sources" | awk -v c="$codename" '$2 == c { print $1; exit }')
    if [ -z "$mirror" ]; then
        say "no source of the Debian archive for $codename among the host's apt sources (apt-get update first?)"
        exit 1
    fi
    command -v debootstrap >/dev/null || bash "$here/deps.sh"
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
    # In a mount namespace of its own: killed half-way, it leaves no mounts
    # behind that would keep the next run from removing the folder.
    unshare --mount --propagation private debootstrap --variant=minbase "$codename" "$work" "$mirror" >"$work.log" 2>&1 ||
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

# The added packages not yet in it.
missing_added() {
    local package
    for package in "${added_packages[@]}"; do
        grep -qx "added $package" "$rootfs/$marker" || echo "$package"
    done
}

ensure_added() {
    local missing
    missing=$(missing_added)
    [ -n "$missing" ] || return 0
    say "adding" $missing
    in_root "$rootfs" apt-get update -qq >/dev/null
    # shellcheck disable=SC2086
    in_root "$rootfs" apt-get install -y -qq --no-install-recommends $missing >/dev/null
    in_root "$rootfs" apt-get clean
    printf 'added %s\n' $missing >>"$rootfs/$marker"
}

# Ready as asked: there, from this recipe, with the added packages and, when
# $1 is vm, the VM's parts.
current() {
    [ -f "$rootfs/$marker" ] && [ "$(head -n1 "$rootfs/$marker")" = "$recipe" ] && [ -z "$(missing_added)" ] &&
        { [ "${1:-}" != vm ] || grep -qx vm "$rootfs/$marker"; }
}

# The exclusive lock, for building or changing it: waits until no run uses it.
hold_alone() {
    tavolin_need_root "building the 32-bit environment" || exit 1
    mkdir -p "$(dirname "$rootfs")"
    tavolin_hold "$rootfs.lock" -n || {
        say "waiting until no other run uses $rootfs"
        tavolin_hold "$rootfs.lock"
    }
}

case "${1:-}" in
    "" | vm)
        if ! current "${1:-}"; then
            hold_alone
            ensure_base
            ensure_added
            [ "${1:-}" != vm ] || ensure_vm
        fi
        echo "$rootfs" ;;
    chroot) shift; hold_alone; ensure_base; ensure_added; in_root "$rootfs" "$@" ;;
    current) shift; current "$@" ;;
    sources) host_sources ;;
    *) echo "usage: rootfs32.sh [vm | chroot COMMAND... | current [vm] | sources]" >&2; exit 2 ;;
esac
