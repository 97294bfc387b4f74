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
echo "written to $output"
