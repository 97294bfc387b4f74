#!/bin/bash
# Installs the Debian packages the build and the tests need, when missing.
# Never wine32: it cannot run on these machines, and once installed Debian's
# wine scripts pick it and fail.
set -euo pipefail
packages=(
    cmake ninja-build
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 libwine
    xvfb xauth x11-utils
    doctest-dev
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
