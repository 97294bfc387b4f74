#!/bin/bash
# Installs the Debian packages the build and the tests need, when missing.
# Never wine32 on the host: once installed, Debian's wine scripts pick the
# 32-bit loader for everything. 32-bit Wine lives in a root file system of its
# own, built by debootstrap (scripts/rootfs32.sh).
set -euo pipefail
packages=(
    cmake ninja-build
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 libwine
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
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
