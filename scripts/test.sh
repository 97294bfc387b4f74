#!/bin/bash
# The whole test run from nothing: packages, both builds, then every test of
# each build, each in an X server of its own and a fresh Wine prefix with the
# virtual card installed: x86_64 under the host's 64-bit Wine, i686 (the build
# that ships) under 32-bit Wine in its own environment (scripts/test-i686.sh).
# The two builds' tests run side by side, each line of a build's part (its
# compiler's included) marked with its build and kept whole in
# build/test-<build>.log; a failure in either fails the run.
#
#   test.sh [--x86_64 | --i686] [ctest arguments, for example -R card]
#
# With --x86_64 or --i686 only that build is built and tested; with CTest
# arguments only what the tests they choose need is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
builds=(x86_64 i686)
case "${1:-}" in
    --x86_64 | --i686) builds=("${1#--}"); shift ;;
esac

# Each part leaves its summary line in a file of its own here.
notes=$(mktemp -d)
report() {
    echo "=== summary"
    cat "$notes"/* 2>/dev/null || true
    rm -rf "$notes"
}
trap report EXIT
# part N NAME COMMAND...: runs one part, timed, and notes how it went as line N.
part() {
    local number=$1 name=$2 start=$SECONDS status=0
    shift 2
    echo "=== $name"
    "$@" || status=$?
    local result=passed
    [ $status -eq 0 ] || result="FAILED (status $status)"
    printf '%-40s %-20s %4d s\n' "$name" "$result" $((SECONDS - start)) >"$notes/$number"
    return $status
}
for arch in "${builds[@]}"; do
    : >"$build/test-$arch.log"
done
# packages_and_builds BUILD... -- CTEST ARGUMENTS: each build's lines go to
# its log too.
packages_and_builds() {
    bash "$root/scripts/deps.sh" && bash "$root/scripts/build.sh" --tests "$@" |
        awk -v folder="$build" '{ print; fflush() }
            match($0, /^\[(x86_64|i686)\] /) {
                file = folder "/test-" substr($0, 2, RLENGTH - 3) ".log"
                print substr($0, RLENGTH + 1) >>file
                close(file)
            }'
}
part 0 "packages and builds" packages_and_builds "${builds[@]}" -- "$@" || exit

# build_tests ARCH [ctest arguments]: one build's parts, in order.
build_tests() {
    local arch=$1
    shift
    if [ "$arch" = x86_64 ]; then
        part 1 "x86_64 tests (host, 64-bit Wine)" bash "$root/scripts/test-in-display.sh" "$@"
    else
        # Built once per machine; a second run finds it in its cache folder.
        # A VM needs Debian's kernel in it as well.
        local mode what=()
        mode=$(bash "$root/scripts/test-i686.sh" --mode)
        [ "$mode" = vm ] && what=(vm)
        part 2 "32-bit environment" bash "$root/scripts/rootfs32.sh" "${what[@]}" || return
        part 3 "i686 tests ($mode, 32-bit Wine)" bash "$root/scripts/test-i686.sh" "$@"
    fi
}

jobs=()
for arch in "${builds[@]}"; do
    # pipefail: the job's status is that of its tests, not of tee or sed.
    (build_tests "$arch" "$@" 2>&1 | tee -a "$build/test-$arch.log" | sed -u "s/^/[$arch] /") &
    jobs+=($!)
done
failed=0
for job in "${jobs[@]}"; do
    wait "$job" || failed=1
done
exit $failed
