#!/bin/bash
# Builds both targets with their tests: i686 (the build that ships, tested
# under 32-bit Wine) and x86_64 (tested under 64-bit Wine). Warnings are
# errors in both.
#
#   build.sh --run ARCH    only what the run command needs of ARCH (i686 or
#                          x86_64): the programs, the skins, the chime and the
#                          virtual card, in the build folder's run-ARCH
#   build.sh --tests ARCH... [-- CTEST ARGUMENTS]
#                          those builds only, and of each only what the tests
#                          the CTest arguments choose need (everything when
#                          none are given; a check that reads the i686
#                          build's files brings those along); every line
#                          starts with its build's tag, [i686] or [x86_64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# TAVOLIN_BUILD_DIR lets several work trees or people build side by side.
. "$root/scripts/lock.sh"
tavolin_claim_build
cd "$root"

# configure DIR ARCH [cmake options]
configure() {
    local dir=$1 arch=$2
    shift 2
    cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" -DTAVOLIN_VIRTUAL_CARD=ON "$@" >/dev/null
}

# build DIR ARCH [cmake options]
build() {
    configure "$@"
    cmake --build "$1" -- -j"$(nproc)"
}

# configure_tests ARCH: the build with its tests, in the build folder's ARCH.
# The host-side checks (both builds' import tables, the art) are the x86_64
# build's.
configure_tests() {
    local host_checks=(-DTAVOLIN_HOST_CHECKS=OFF)
    [ "$1" = x86_64 ] && host_checks=(-DTAVOLIN_HOST_CHECKS=ON -DTAVOLIN_I686_BIN="$build/i686/bin")
    configure "$build/$1" "$1" -DTAVOLIN_TESTS=ON "${host_checks[@]}"
}

# tests_build ARCH... [-- CTEST ARGUMENTS]: see --tests above.
tests_build() {
    local archs=() arch name target
    while [ "${1:-}" = i686 ] || [ "${1:-}" = x86_64 ]; do
        archs+=("$1")
        shift
    done
    [ "${1:-}" != -- ] || shift
    declare -A wanted=()
    for arch in "${archs[@]}"; do
        configure_tests "$arch" 2>&1 | sed -u "s/^/[$arch] /"
        if [ $# -eq 0 ]; then
            wanted[$arch]+=" all"
            continue
        fi
        # The tests CTest would run, then what each needs (test-needs.txt,
        # written by tests/CMakeLists.txt), and what every lane needs.
        wanted[$arch]+=" test_lane"
        for name in $(ctest --test-dir "$build/$arch" -N "$@" | awk '$1 == "Test" { print $3 }'); do
            for target in $(awk -v name="$name" '$1 == name { $1 = ""; print }' "$build/$arch/test-needs.txt"); do
                case "$target" in
                    i686:*) wanted[i686]+=" ${target#i686:}" ;;
                    *) wanted[$arch]+=" $target" ;;
                esac
            done
        done
    done
    # i686 first: the x86_64 build's checks read its files.
    for arch in i686 x86_64; do
        [ -n "${wanted[$arch]:-}" ] || continue
        {
            [ -f "$build/$arch/test-needs.txt" ] || configure_tests "$arch"
            # shellcheck disable=SC2086
            cmake --build "$build/$arch" --target ${wanted[$arch]} -- -j"$(nproc)"
        } 2>&1 | sed -u "s/^/[$arch] /"
    done
}

if [ "${1:-}" = --tests ]; then
    shift
    tests_build "$@"
    exit
fi
if [ "${1:-}" = --run ]; then
    case "${2:-}" in
        i686 | x86_64) build "$build/run-$2" "$2" -DTAVOLIN_TESTS=OFF -DTAVOLIN_INSTALLER=OFF ;;
        *) echo "usage: build.sh [--run i686|x86_64 | --tests i686|x86_64... [-- CTEST ARGUMENTS]]" >&2; exit 2 ;;
    esac
    exit
fi
for arch in i686 x86_64; do
    configure_tests "$arch"
    cmake --build "$build/$arch" -- -j"$(nproc)"
done
