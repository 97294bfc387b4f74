#!/bin/bash
# The run command as a developer meets it, on a build folder of its own with
# the builds' programs in it (cmake is a stand-in: nothing is rebuilt): it
# says what runs once the radio has opened the card, a second run meanwhile
# is refused, and stop.sh ends what each mode started; the radio on the
# generated band (--sdr) with its server. Arguments: the scripts
# folder, the x86_64 build's bin folder and, to run the i686 build as well,
# the i686 build's bin folder.
set -u
scripts=$1 x86_64_bin=$2 i686_bin=${3:-}
scratch=$(mktemp -d)
failed=0
fail() { echo "FAIL $*"; failed=1; }
mkdir -p "$scratch/stand-in" "$scratch/build"
printf '#!/bin/sh\n' >"$scratch/stand-in/cmake"
chmod +x "$scratch/stand-in/cmake"
# The display: none (run.sh starts its own X server) for the x86_64 build.
no_display=(-u DISPLAY)
run_env() {
    env "${no_display[@]}" -u TAVOLIN_BUILD_LOCK -u TAVOLIN_WINEPREFIX PATH="$scratch/stand-in:$PATH" \
        TAVOLIN_BUILD_DIR="$scratch/build" "$@"
}
trap 'run_env bash "$scripts/stop.sh"; rm -rf "$scratch"' EXIT
for arch in x86_64 i686; do mkdir -p "$scratch/build/run-$arch"; done
ln -s "$x86_64_bin" "$scratch/build/run-x86_64/bin"

# wineserver_of PREFIX: the pid of the wineserver serving PREFIX, if any.
wineserver_of() {
    local pid
    for pid in $(pgrep -x 'wineserver|wineserver64'); do
        grep -qzxF "WINEPREFIX=$1" "/proc/$pid/environ" 2>/dev/null && echo "$pid"
    done
}

# check_run MODE PREFIX [run.sh argument]: one run, a second one refused
# meanwhile, then stop.sh.
check_run() {
    local mode=$1 prefix=$2 out="$scratch/run.out" second="$scratch/second.out" pid
    shift 2
    run_env bash "$scripts/run.sh" "$@" >"$out" 2>&1 &
    local first=$!
    timeout 120 bash -c 'until [ -s "$1" ] || ! kill -0 "$2" 2>/dev/null; do sleep 0.1; done' \
        wait "$scratch/build/run-mode" "$first"
    run_env bash "$scripts/run.sh" "$@" >"$second" 2>&1 && fail "$mode: a second run went ahead"
    grep -q "another run uses $scratch/build" "$second" || fail "$mode: the second run did not say why: $(cat "$second")"
    wait "$first" || fail "$mode: run.sh failed: $(tail -n 5 "$out")"
    # What it says is the running system: the card opened by the radio, and
    # the programs' processes.
    grep -q "^ *power *on" "$out" && grep -q "^ *volume *[1-9]" "$out" || fail "$mode: the card's state is not the opened card's: $(cat "$out")"
    local program programs=()
    for program in radio agent; do
        pid=$(sed -n "s/^$program *process \([0-9]*\) .*/\1/p" "$out")
        [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || fail "$mode: no running $program named ($pid)"
        programs+=($pid)
    done
    [ -s "$scratch/build/radio-screenshot.png" ] || fail "$mode: no screenshot"
    grep -q "bash scripts/stop.sh" "$out" && grep -q "tunercard.sh pull" "$out" && grep -q "bash scripts/screenshot.sh" "$out" ||
        fail "$mode: no word on how to go on"
    grep -q 'title "Vantor"' "$out" || fail "$mode: the window's title not named"
    # The X server, with the cookie that reaches it (a VM's is out of reach).
    local reach
    reach=$(sed -n 's/^its X server: \(DISPLAY=.*\)/\1/p' "$out")
    case "$reach" in *XAUTHORITY=*) ;; *) fail "$mode: no DISPLAY and XAUTHORITY to reach its X server: $reach" ;; esac
    # shellcheck disable=SC2086
    [ -z "$reach" ] || env $reach xdpyinfo >/dev/null 2>&1 || fail "$mode: its X server cannot be reached with $reach"
    rm -f "$scratch/build/radio-screenshot.png"
    run_env bash "$scripts/screenshot.sh" >/dev/null 2>&1 && [ -s "$scratch/build/radio-screenshot.png" ] ||
        fail "$mode: screenshot.sh took no screenshot"
    local server xvfb
    server=$(wineserver_of "$prefix")
    [ -n "$server" ] || fail "$mode: no wineserver for $prefix"
    xvfb=$(cat "$scratch/build/run-xvfb.pid" 2>/dev/null)

    run_env bash "$scripts/stop.sh"
    for pid in "${programs[@]}" $server $xvfb; do
        timeout 10 bash -c 'while kill -0 "$1" 2>/dev/null && ! grep -q "^State:.*Z" "/proc/$1/status"; do sleep 0.1; done' wait "$pid" ||
            fail "$mode: process $pid still runs after stop.sh"
    done
    [ ! -e "$scratch/build/run-mode" ] || fail "$mode: stop.sh left the mode behind"
    # With no run going, the card's tool says so and starts no Wine; its help
    # needs no run.
    local said
    said=$(run_env bash "$scripts/tunercard.sh" pull 2>&1) && fail "$mode: tunercard.sh pull succeeded with no run"
    [ "$said" = "no run is going: start one with bash scripts/run.sh (or run.sh --i686)" ] ||
        fail "$mode: tunercard.sh with no run said: $said"
    [ -z "$(wineserver_of "$prefix")" ] || fail "$mode: tunercard.sh started Wine with no run going"
    run_env bash "$scripts/tunercard.sh" --help | grep -q "^usage: tunercard COMMAND" || fail "$mode: no help"
    [ $failed -eq 0 ] && echo "ok   $mode: run, a second run refused, stop"
    return 0
}

check_run x86_64 "$scratch/build/run-prefix"

# process_of PREFIX NAME: the pids of the Wine process running NAME (an
# executable's file name) in PREFIX.
process_of() {
    local dir
    for dir in /proc/[0-9]*; do
        grep -qzxF "WINEPREFIX=$1" "$dir/environ" 2>/dev/null || continue
        tr '\0' '\n' 2>/dev/null <"$dir/cmdline" | head -n 1 | grep -qi "[\\/]$2" && echo "${dir#/proc/}"
    done
}

# The radio on the generated band: the band's server started in the run's
# Wine, the radio connected to it, and stop.sh ending both.
check_sdr_run() {
    local out="$scratch/run.out" prefix="$scratch/build/run-prefix" band radio pid
    run_env bash "$scripts/run.sh" --sdr >"$out" 2>&1 || fail "sdr: run.sh --sdr failed: $(tail -n 5 "$out")"
    grep -q "^the generated band: rtl_tcp_band on 127\.0\.0\.1:[0-9]" "$out" || fail "sdr: no band's server named: $(cat "$out")"
    grep -q "^the radio is connected to the generated band" "$out" || fail "sdr: the radio did not connect: $(cat "$out")"
    grep -q "bash scripts/stop.sh" "$out" || fail "sdr: no word on how to stop it"
    band=$(process_of "$prefix" rtl_tcp_band.exe)
    radio=$(process_of "$prefix" tavolin.exe)
    [ -n "$band" ] || fail "sdr: no band's server running"
    [ -n "$radio" ] || fail "sdr: no radio running"
    run_env bash "$scripts/stop.sh"
    for pid in $band $radio; do
        timeout 10 bash -c 'while kill -0 "$1" 2>/dev/null && ! grep -q "^State:.*Z" "/proc/$1/status"; do sleep 0.1; done' wait "$pid" ||
            fail "sdr: process $pid still runs after stop.sh"
    done
    [ $failed -eq 0 ] && echo "ok   sdr: the radio on the generated band, stop"
    return 0
}
check_sdr_run
# The build that ships, in the 32-bit environment, on the caller's display.
# In a VM (minutes under emulation) the process ids are the VM's: chroot only.
no_display=()
mode=$(run_env bash "$scripts/test-i686.sh" --mode)
if [ -n "$i686_bin" ] && [ "$(id -u)" = 0 ] && [ "$mode" = chroot ]; then
    ln -s "$i686_bin" "$scratch/build/run-i686/bin"
    check_run "i686 $mode" "$scratch/build/run-prefix-i686" --i686
else
    echo "skipped: the i686 build (needs its bin folder, root and a chroot; mode here: $mode)"
fi
exit $failed
