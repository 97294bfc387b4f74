#!/bin/bash
# Measures the programs as they are and prints the table, which it also
# writes to docs/benchmarks.md: the i686 executables' sizes beside a bare
# window program built the same way, and, from the x86_64 build under the
# host's 64-bit Wine in Xvfb (a fresh prefix of its own with the virtual card),
# repaint economy, device traffic, start-up, idle cost and resources. It
# prints figures and never fails on them.
#
#   bench.sh [--quick]    --quick: short runs to try the command; the table
#                         then goes to build/bench/benchmarks.md only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
output="$root/docs/benchmarks.md"
if [ "${1:-}" = --quick ]; then
    export BENCH_STARTUP_RUNS=3 BENCH_TRAFFIC_SECONDS=3 BENCH_IDLE_SECONDS=5 BENCH_ACTIONS=300 BENCH_CYCLES=10
    export BENCH_RECEIVER_SECONDS=3 BENCH_RADIO_STARTS=2
    output="$build/bench/benchmarks.md"
fi
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
# The measuring programs (bench/): the bare window of the size table from the
# shipped build, the rest from the measured one.
cmake --build "$build/i686" --target bare_window
cmake --build "$build/x86_64" --target radio_bench
mkdir -p "$build/bench"
figures="$build/bench/figures.txt"
relay="$build/bench/relay.log"
: >"$figures"
: >"$relay"
bash "$root/scripts/bench-in-display.sh" "$figures" "$relay" ||
    echo "some measurements did not finish; the table shows what was measured" >&2
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
python3 "$root/scripts/bench_report.py" "$objdump" "$build/i686/bin" "$figures" "$relay" "$output" x86_64
# The software receiver on both builds, each in a prefix of its own (the
# i686 one in the 32-bit environment), alone and inside the radio (start to
# first sound, CPU while playing): their lines "figure: ..." become tables.
cmake --build "$build/x86_64" --target sdr_bench radio_sdr_bench
cmake --build "$build/i686" --target sdr_bench radio_sdr_bench
receiver="$build/bench/receiver.txt"
mkdir -p "$build/bench/receiver-prefix" "$build/bench/receiver-prefix-i686"
seconds=${BENCH_RECEIVER_SECONDS:-20}
TAVOLIN_BENCH_SECONDS=$seconds TAVOLIN_WINEPREFIX="$build/bench/receiver-prefix" \
    bash "$root/scripts/wine-run" "$build/x86_64/bin/sdr_bench.exe" | grep '^figure:' >"$receiver" ||
    echo "the x86_64 receiver's figures did not finish" >&2
TAVOLIN_BENCH_SECONDS=$seconds bash "$root/scripts/bench-receiver-radio.sh" >>"$receiver" ||
    echo "the x86_64 radio's figures on the receiver did not finish" >&2
. "$root/scripts/i686-env.sh"
if mode=$(tavolin_i686_mode); then
    tavolin_i686_enter "$mode" "${tavolin_i686_env[@]}" env TAVOLIN_WINE_ARCH=win32 TAVOLIN_BENCH_SECONDS="$seconds" \
        TAVOLIN_WINEPREFIX="$build/bench/receiver-prefix-i686" bash "$root/scripts/wine-run" \
        "$build/i686/bin/sdr_bench.exe" | grep '^figure:' >>"$receiver" ||
        echo "the i686 receiver's figures did not finish" >&2
    tavolin_i686_enter "$mode" "${tavolin_i686_env[@]}" TAVOLIN_BENCH_SECONDS="$seconds" \
        BENCH_RADIO_STARTS="${BENCH_RADIO_STARTS:-5}" bash "$root/scripts/bench-receiver-radio.sh" >>"$receiver" ||
        echo "the i686 radio's figures on the receiver did not finish" >&2
fi
python3 "$root/scripts/bench_receiver.py" "$receiver" "$output"
echo "written to $output"
