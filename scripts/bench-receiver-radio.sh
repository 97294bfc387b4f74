#!/bin/bash
# For scripts/bench.sh: the radio on the kit's rtl_tcp server
# (tests/receiver/radio_receiver_bench.cpp) in an X server of its own and a
# fresh prefix with the card, its sound played into ALSA's file plugin.
# Prints the program's "figure:" lines. Runs the build wine-env.sh names: the
# host's x86_64, or i686 with TAVOLIN_WINE_ARCH=win32 in the 32-bit
# environment.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
suffix=
[ "${TAVOLIN_WINE_ARCH:-win64}" = win32 ] && suffix=-i686
export TAVOLIN_WINEPREFIX="$build/bench/radio-sdr-prefix$suffix"
. "$root/scripts/prefix.sh"
. "$root/scripts/display.sh"
program="$build/$tavolin_arch/bin/radio_sdr_bench.exe"
[ -f "$program" ] || { echo "$program is not built (cmake --build ... --target radio_sdr_bench)" >&2; exit 1; }
trap 'tavolin_stop_prefix; tavolin_stop_display' EXIT
tavolin_start_display || exit 1
tavolin_fresh_prefix --unmanaged --silent || exit 1
here="$build/$tavolin_arch/tests/receiver"
mkdir -p "$build/bench"
ALSA_CONFIG_PATH="$here/bench_capture.conf" TAVOLIN_AUDIO_CAPTURE="$here/bench_capture.raw" \
    "$WINELOADER" "$program" >"$build/bench/radio-sdr$suffix.log" 2>&1
status=$?
grep "^figure:" "$build/bench/radio-sdr$suffix.log"
# doctest's report shows why a measurement did not finish.
[ $status -eq 0 ] || grep -E 'ERROR|FAILED' "$build/bench/radio-sdr$suffix.log" >&2
exit $status
