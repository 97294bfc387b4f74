#!/bin/bash
# The whole test run from nothing: packages, both builds, then every test of
# each build, each under Xvfb in a fresh Wine prefix with the virtual card
# installed: x86_64 under the host's 64-bit Wine, i686 (the build that ships)
# under 32-bit Wine in its own environment (scripts/test-i686.sh). A failure
# in either fails the run.
#
#   test.sh [--x86_64 | --i686] [ctest arguments, for example -R card]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
builds=(x86_64 i686)
case "${1:-}" in
    --x86_64 | --i686) builds=("${1#--}"); shift ;;
esac

summary=()
failed=0
report() {
    echo "=== summary"
    printf '%s\n' "${summary[@]}"
}
trap report EXIT
# part NAME COMMAND...: runs one part, timed, and notes how it went.
part() {
    local name=$1 start=$SECONDS status=0
    shift
    echo "=== $name"
    "$@" || status=$?
    local result=passed
    [ $status -eq 0 ] || { result="FAILED (status $status)"; failed=1; }
    summary+=("$(printf '%-40s %-20s %4d s' "$name" "$result" $((SECONDS - start)))")
    return $status
}
part "packages and both builds" bash -c 'bash "$1/scripts/deps.sh" && bash "$1/scripts/build.sh"' build "$root" || exit
for arch in "${builds[@]}"; do
    if [ "$arch" = x86_64 ]; then
        part "x86_64 tests (host, 64-bit Wine)" \
            xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/scripts/test-in-display.sh" "$@" || true
    else
        # Built once per machine; a second run finds it in its cache folder.
        # A VM needs Debian's kernel in it as well.
        mode=$(bash "$root/scripts/test-i686.sh" --mode)
        what=()
        [ "$mode" = vm ] && what=(vm)
        part "32-bit environment" bash "$root/scripts/rootfs32.sh" "${what[@]}" || continue
        part "i686 tests ($mode, 32-bit Wine)" bash "$root/scripts/test-i686.sh" "$@" || true
    fi
done
exit $failed
