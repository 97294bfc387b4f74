#!/bin/bash
# Builds both targets: i686 (the build that ships) and x86_64 (the build the
# tests run under 64-bit Wine). Warnings are errors in both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# TAVOLIN_BUILD_DIR lets several work trees or people build side by side.
build="${TAVOLIN_BUILD_DIR:-$root/build}"
for arch in i686 x86_64; do
    tests=OFF
    [ "$arch" = x86_64 ] && tests=ON
    cmake -S . -B "$build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" \
        -DTAVOLIN_TESTS=$tests -DTAVOLIN_VIRTUAL_CARD=ON -DTAVOLIN_I686_BIN="$build/i686/bin" >/dev/null
    cmake --build "$build/$arch" -- -j"$(nproc)"
done
