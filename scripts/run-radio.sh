#!/bin/bash
# The run command's part beside Wine: on the host for the x86_64 build, in
# the 32-bit environment for the i686 one (TAVOLIN_WINE_ARCH=win32). Needs
# TAVOLIN_WINEPREFIX (the run prefix), TAVOLIN_RUN_BIN (the run build's bin
# folder) and, to start, DISPLAY.
#
#   run-radio.sh start [unmanaged]
#       a fresh prefix with the card, then the agent, which starts the radio;
#       once the radio has opened the card: the card's state and the radio's
#       and the agent's process ids. unmanaged: the display runs no window
#       manager. On a machine without a sound card the prefix gets no audio
#       driver: the run is silent and its log free of the driver's errors.
#   run-radio.sh shot
#       radio-screenshot.bmp in the build folder: the radio's window as the
#       screen shows it
#   run-radio.sh stop
#       ends every Wine process of the run prefix, when the scripts made it
#   run-radio.sh serve FOLDER
#       the run's VM: runs the commands the host puts into FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/prefix.sh"
bin="${TAVOLIN_RUN_BIN:-}"
tunercard() { "$WINELOADER" "$bin/tunercard.exe" "$@"; }

# Prints "radio process PID (COMMAND)" and "agent process ..." for the
# run prefix's radio and agent. Wine shows a program's path, Windows' or
# Unix', as its command line.
process_ids() {
    local dir command
    for dir in /proc/[0-9]*; do
        grep -qzxF "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null || continue
        command=$(tr '\0' '\n' 2>/dev/null <"$dir/cmdline" | head -n 1 | sed 's/ *$//')
        case "${command,,}" in
            *[\\/]tavolin.exe) echo "radio  process ${dir#/proc/} ($command)" ;;
            *[\\/]agent_tavolin.exe) echo "agent  process ${dir#/proc/} ($command)" ;;
        esac
    done | sort
}

# serve FOLDER: in the run's VM, in an X server of its own, runs each
# command file put into FOLDER, leaving its output and status beside it,
# until FOLDER/shutdown appears.
serve() {
    local folder=$1 request id status
    . "$root/scripts/display.sh"
    tavolin_start_display
    trap tavolin_stop_display EXIT
    until [ -e "$folder/shutdown" ]; do
        for request in "$folder"/*.cmd; do
            [ -e "$request" ] || continue
            id=${request%.cmd}
            status=0
            eval "env $(cat "$request")" </dev/null >"$id.out" 2>&1 || status=$?
            rm -f "$request"
            # Whole when the host sees it.
            echo "$status" >"$id.status-part"
            mv "$id.status-part" "$id.status"
        done
        sleep 0.2
    done
}

# The radio's window (class and title "Vantor") as the screen shows it.
shot() {
    rm -f "$tavolin_build/radio-screenshot.bmp"
    (cd "$tavolin_build" && "$WINELOADER" "$bin/window_shot.exe" Vantor radio-screenshot.bmp 20000 >/dev/null) || {
        echo "the radio's window did not appear (see $tavolin_build/run-agent.log)" >&2
        return 1
    }
    # In a VM the build folder is shared with a cache: the host reads it next.
    sync "$tavolin_build/radio-screenshot.bmp"
}

case "${1:-}" in
    stop) tavolin_stop_prefix; exit 0 ;;
    serve) serve "$2"; exit 0 ;;
    shot) shot; exit ;;
    start) ;;
    *) echo "usage: run-radio.sh start [unmanaged] | shot | stop | serve FOLDER" >&2; exit 2 ;;
esac

# No window manager: Wine should not wait for one. No sound card: no audio
# driver, which would fill the log with its errors.
settings=()
[ "${2:-}" != unmanaged ] || settings+=(--unmanaged)
compgen -G "/dev/snd/pcmC*" >/dev/null || settings+=(--silent)
tavolin_fresh_prefix "${settings[@]}" "$bin"
server="${TAVOLIN_RUN_SDR:-}"
if [ "$server" = local ]; then
    # A free port: another run, or a real rtl_tcp, may have 1234.
    band_log="$tavolin_build/run-band.log"
    (cd "$tavolin_build" && exec setsid "$WINELOADER" "$bin/rtl_tcp_band.exe" --port 0) </dev/null >"$band_log" 2>&1 &
    for _ in $(seq 300); do
        server=$(sed -n 's/^rtl_tcp_band listening on \([0-9.]*:[0-9]*\).*/\1/p' "$band_log" | head -n 1)
        [ -z "$server" ] || break
        sleep 0.2
    done
    [ -n "$server" ] || { echo "the generated band's server did not start (see $band_log)" >&2; exit 1; }
    echo "the generated band: rtl_tcp_band on $server (its log: $band_log)"
    sed -n '2,$p' "$band_log" | grep -v '^client' | sed 's/^/  /'
    # On its strongest station, stereo with RDS, rather than on no station at all.
    tavolin_wine "tuning to 98.3 MHz" reg add 'HKLM\Software\Corvane' /v CurrentFrequency /t REG_DWORD /d 983 /f
fi
if [ -n "$server" ]; then
    tavolin_wine "naming the rtl_tcp server" reg add 'HKLM\Software\Corvane' /v SignalSource \
        /d "rtl_tcp:$server" /f
fi
# The agent starts the radio from its own folder, the bin folder, which
# becomes the radio's current folder (it reads its skins there), a second
# after it sees the card. It outlives this script.
(cd "$tavolin_build" && exec setsid "$WINELOADER" "$bin/Agent_Tavolin.exe") </dev/null >"$tavolin_build/run-agent.log" 2>&1 &
if [ "${TAVOLIN_RUN_SDR:-}" = local ]; then
    # Connected: the radio's receiver has sent the band's server a frequency.
    for _ in $(seq 600); do
        ! grep -q '^client [0-9]*: command 0x01 ' "$band_log" || break
        sleep 0.2
    done
    grep -q '^client [0-9]*: command 0x01 ' "$band_log" || {
        echo "the radio did not tune the generated band (see $tavolin_build/run-agent.log and $band_log)" >&2
        exit 1
    }
    echo "the radio is connected to the generated band (the commands it sends: $band_log)"
elif [ -n "$server" ]; then
    echo "the radio on rtl_tcp:$server (it tries again twice a second until the server answers)"
else
    tunercard wait opened 120 || {
        echo "the radio did not open the card (see $tavolin_build/run-agent.log)" >&2
        exit 1
    }
    echo "the card, opened by the radio:"
    tunercard state | sed 's/^/  /'
fi
process_ids
compgen -G "/dev/snd/pcmC*" >/dev/null || echo "no sound: this machine has no sound card"
