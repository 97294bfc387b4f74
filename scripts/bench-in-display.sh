#!/bin/bash
# For scripts/bench.sh: an X server of its own, a fresh prefix with the card, Wine's
# relay trace narrowed to the two calls counted (gdi32.BitBlt and discovery's
# SetupDiGetClassDevsA; bench/radio_bench.cpp turns the trace on for the
# radio alone), then each measured story. Figures go to $1, the trace and the
# stories' segment marks to $2.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
figures=$1
relay=$2
export TAVOLIN_WINEPREFIX="$build/bench-prefix"
. "$root/scripts/prefix.sh"
. "$root/scripts/display.sh"
trap 'tavolin_stop_prefix; tavolin_stop_display' EXIT
tavolin_start_display || exit 1
tavolin_fresh_prefix --unmanaged --silent || exit 1
"$WINELOADER" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'gdi32.BitBlt;setupapi.SetupDiGetClassDevsA' /f >/dev/null
bench="$build/x86_64/bin/radio_bench.exe"
status=0
for story in "start-up" "repaint and traffic" "idle cost" "resources"; do
    echo "measuring: $story" >&2
    start=$SECONDS
    "$WINELOADER" "$bench" -tc="$story" >>"$figures" 2>>"$relay" || status=1
    echo "  $((SECONDS - start)) s" >&2
done
# doctest's own report lines are in the figures file too; a failed story
# shows there.
grep -E 'ERROR|FAILED' "$figures" >&2 || true
exit $status
