#!/bin/bash
# The run command's part beside Wine: on the host for the x86_64 build, in
# the 32-bit environment for the i686 one (TAVOLIN_WINE_ARCH=win32). Needs
# TAVOLIN_WINEPREFIX (the run prefix), TAVOLIN_RUN_BIN (the run build's bin
# folder) and, to start, DISPLAY.
#
#   run-radio.sh start [unmanaged]
#       a fresh prefix with the card, then the agent, which starts the radio;
#       once the radio has opened the card: the card's state, the radio's and
#       the agent's process ids, and radio-screenshot.bmp in the build folder.
#       unmanaged: the display runs no window manager.
#   run-radio.sh stop
#       ends every Wine process of the run prefix, when the scripts made it
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/prefix.sh"
bin="$TAVOLIN_RUN_BIN"
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

case "${1:-}" in
    stop) tavolin_stop_prefix; exit 0 ;;
    start) ;;
    *) echo "usage: run-radio.sh start [unmanaged] | stop" >&2; exit 2 ;;
esac

tavolin_fresh_prefix "$bin"
# No window manager: Wine should not wait for one.
[ "${2:-}" != unmanaged ] ||
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
# The agent starts the radio from its own folder, the bin folder, which
# becomes the radio's current folder (it reads its skins there), a second
# after it sees the card. It outlives this script.
(cd "$tavolin_build" && exec setsid "$WINELOADER" "$bin/Agent_Tavolin.exe") </dev/null >"$tavolin_build/run-agent.log" 2>&1 &
if [ -n "${TAVOLIN_RUN_KEEPER:-}" ]; then
    # Holds what this script was handed (the 32-bit environment's lock) for
    # as long as the prefix's Wine runs.
    setsid "$WINESERVER" -w </dev/null >/dev/null 2>&1 &
fi
tunercard wait opened 30 || {
    echo "the radio did not open the card (see $tavolin_build/run-agent.log)" >&2
    exit 1
}
tunercard state
process_ids
rm -f "$tavolin_build/radio-screenshot.bmp"
(cd "$tavolin_build" && "$WINELOADER" "$bin/window_shot.exe" Vantor radio-screenshot.bmp 20000 >/dev/null) || {
    echo "the radio's window did not appear (see $tavolin_build/run-agent.log)" >&2
    exit 1
}
