#!/bin/bash
# Runs ctest for the build wine-env.sh names (x86_64 on the host; i686 with
# TAVOLIN_WINE_ARCH=win32 in the 32-bit environment) over lanes: each lane is
# a fresh prefix with the virtual card installed and an X server of its own
# (scripts/display.sh), and CTest runs one test per lane at a time, the lanes
# side by side (tests/CMakeLists.txt). The tests mostly wait on one-second
# timers, so two lanes per build fit on two cores. Every Wine process and X
# server a lane started is ended afterwards.
#
#   TAVOLIN_TEST_LANES=N    lanes (2 unless given; 1 runs the tests in turn)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
base=test-prefix
[ "${TAVOLIN_WINE_ARCH:-win64}" = win32 ] && base=test-prefix-i686
lanes=${TAVOLIN_TEST_LANES:-2}
case "$lanes" in [1-9]) ;; *) echo "TAVOLIN_TEST_LANES must be 1 to 9, not '$lanes'" >&2; exit 2 ;; esac
. "$root/scripts/prefix.sh"
. "$root/scripts/display.sh"

# lane_prefix N: lane 1 keeps the prefix a run without lanes had.
lane_prefix() {
    if [ "$1" = 1 ]; then echo "$build/$base"; else echo "$build/$base-$1"; fi
}

# What each lane's tests run in: one file per lane, read by wine-env.sh.
lane_files=$(mktemp -d)
xvfb_pids=()
stop_lanes() {
    local lane pid
    for lane in $(seq "$lanes"); do
        WINEPREFIX=$(lane_prefix "$lane") tavolin_stop_prefix
    done
    for pid in "${xvfb_pids[@]}"; do
        tavolin_xvfb_pid=$pid tavolin_stop_display
    done
    rm -rf "$lane_files"
}
trap stop_lanes EXIT

# Every lane's prefix must be one these scripts may remake before any is.
for lane in $(seq "$lanes"); do
    WINEPREFIX=$(lane_prefix "$lane") tavolin_prefix_is_ours
done

# prepare_lane N: the prefix, with the card, for the X server in DISPLAY
# (Xvfb: no window manager, no sound card).
prepare_lane() {
    export WINEPREFIX
    WINEPREFIX=$(lane_prefix "$1")
    tavolin_fresh_prefix --unmanaged --silent || return
    # The desktop stays up between tests, as a session's shell does.
    (setsid "$WINELOADER" "$build/$tavolin_arch/bin/hold_desktop.exe" </dev/null >/dev/null 2>&1 &)
}

preparing=()
spec='{"version": {"major": 1, "minor": 0}, "local": [{"lanes": ['
for lane in $(seq "$lanes"); do
    tavolin_start_display
    xvfb_pids+=("$tavolin_xvfb_pid")
    printf 'TAVOLIN_WINEPREFIX=%q DISPLAY=%q\n' "$(lane_prefix "$lane")" "$DISPLAY" >"$lane_files/lane$lane"
    echo "$tavolin_arch tests, lane $lane: display $DISPLAY, prefix $(lane_prefix "$lane")"
    prepare_lane "$lane" &
    preparing+=($!)
    [ "$lane" = 1 ] || spec+=', '
    spec+="{\"id\": \"lane$lane\", \"slots\": 1}"
done
spec+=']}]}'
unmade=0
for job in "${preparing[@]}"; do
    wait "$job" || unmade=1
done
[ $unmade = 0 ] || { echo "a lane's prefix could not be made" >&2; exit 1; }
echo "$spec" >"$lane_files/lanes.json"

export TAVOLIN_TEST_LANE_FILES="$lane_files"
ctest --test-dir "$build/$tavolin_arch" --output-on-failure -j "$lanes" \
    --resource-spec-file "$lane_files/lanes.json" "$@"
