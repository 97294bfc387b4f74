#!/bin/bash
# Installs the Debian packages the build and the tests need, when missing.
# Never wine32 on the host: once installed, Debian's wine scripts pick the
# 32-bit loader for everything. 32-bit Wine lives in a root file system of its
# own, built by debootstrap (scripts/rootfs32.sh).
#
#   deps.sh [PACKAGE...]    also these packages (for example qemu-system-x86)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
packages=("$@"

    cmake ninja-build
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 libwine
    # Wine's own fonts: Marlett draws the caption buttons; without it they
    # show as letters ("0 1 r"). Only recommended by wine.
    fonts-wine
    xvfb xauth x11-utils
    debootstrap
    doctest-dev
    nsis
    python3 python3-pil fonts-dejavu-core
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    tavolin_need_root "installing ${missing[*]}" || exit 1
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Another apt or dpkg at work: wait for it, for a while. apt-get waits
    # for the dpkg lock itself, but not for the package lists' lock.
    if pgrep -x 'apt(-get)?|dpkg' >/dev/null; then
        echo "waiting for another apt or dpkg to finish"
        timeout 600 bash -c "while pgrep -x 'apt(-get)?|dpkg' >/dev/null; do sleep 2; done" || true
    fi
    wait_lock=(-o DPkg::Lock::Timeout=600)
    apt-get "${wait_lock[@]}" update -qq
    apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
