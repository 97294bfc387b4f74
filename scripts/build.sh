#!/bin/bash
# Builds both targets with their tests: i686 (the build that ships, tested
# under 32-bit Wine) and x86_64 (tested under 64-bit Wine). Warnings are
# errors in both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# TAVOLIN_BUILD_DIR lets several work trees or people build side by side.
. "$root/scripts/lock.sh"
tavolin_claim_build
cd "$root"
for arch in i686 x86_64; do
    # The host-side checks (both builds' import tables, the art) run once,
    # with the x86_64 tests.
    host_checks=(-DTAVOLIN_HOST_CHECKS=OFF)
    [ "$arch" = x86_64 ] && host_checks=(-DTAVOLIN_HOST_CHECKS=ON -DTAVOLIN_I686_BIN="$build/i686/bin")
    cmake -S . -B "$build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" -DTAVOLIN_TESTS=ON -DTAVOLIN_VIRTUAL_CARD=ON \
        "${host_checks[@]}" >/dev/null
    cmake --build "$build/$arch" -- -j"$(nproc)"
done
