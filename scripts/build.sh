#!/bin/bash
# Builds both targets with their tests: i686 (the build that ships, tested
# under 32-bit Wine) and x86_64 (tested under 64-bit Wine). Warnings are
# errors in both.
#
#   build.sh --run ARCH    only what the run command needs of ARCH (i686 or
#                          x86_64): the programs, the skins, the chime and the
#                          virtual card, in the build folder's run-ARCH
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# TAVOLIN_BUILD_DIR lets several work trees or people build side by side.
. "$root/scripts/lock.sh"
tavolin_claim_build
cd "$root"

# build DIR ARCH [cmake options]
build() {
    local dir=$1 arch=$2
    shift 2
    cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" -DTAVOLIN_VIRTUAL_CARD=ON "$@" >/dev/null
    cmake --build "$dir" -- -j"$(nproc)"
}

if [ "${1:-}" = --run ]; then
    case "${2:-}" in
        i686 | x86_64) build "$build/run-$2" "$2" -DTAVOLIN_TESTS=OFF -DTAVOLIN_INSTALLER=OFF ;;
        *) echo "usage: build.sh [--run i686|x86_64]" >&2; exit 2 ;;
    esac
    exit
fi
for arch in i686 x86_64; do
    # The host-side checks (both builds' import tables, the art) run once,
    # with the x86_64 tests.
    host_checks=(-DTAVOLIN_HOST_CHECKS=OFF)
    [ "$arch" = x86_64 ] && host_checks=(-DTAVOLIN_HOST_CHECKS=ON -DTAVOLIN_I686_BIN="$build/i686/bin")
    build "$build/$arch" "$arch" -DTAVOLIN_TESTS=ON "${host_checks[@]}"
done
