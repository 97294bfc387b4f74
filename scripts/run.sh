#!/bin/bash
# The main job: build, make a Wine prefix with the virtual tuner card
# installed and inserted, and start the agent, which finds the card and
# starts the radio in a real window: on the user's display when there is one,
# otherwise in an X server of its own. A screenshot of the window is written
# to the build folder. The agent, the radio, the card and the X server stay
# up; end them with: bash scripts/stop.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
bash "$root/scripts/stop.sh"

# A display: the user's, or a virtual one of our own that stop.sh ends.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    # Only programs given its cookie may use it. The server reads every
    # cookie in the file; the entry for its number is added once known.
    export XAUTHORITY="$build/run-xauthority"
    cookie=$(mcookie)
    rm -f "$XAUTHORITY"
    xauth -q add :0 . "$cookie"
    . "$root/scripts/display.sh"
    tavolin_start_display -auth "$XAUTHORITY" || { tavolin_stop_display; exit 1; }
    echo "$tavolin_xvfb_pid" >"$build/run-xvfb.pid"
    # A run that fails from here on ends its X server again.
    trap 'bash "$root/scripts/stop.sh"' EXIT
    xauth -q add "$DISPLAY" . "$cookie"
    own_display=1
    echo "no display: the radio runs in a virtual X server on $DISPLAY"
fi

export TAVOLIN_WINEPREFIX="$build/run-prefix"
. "$root/scripts/prefix.sh"
tavolin_fresh_prefix
if [ -n "${own_display:-}" ]; then
    # No window manager there: Wine should not wait for one.
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
fi
"$WINELOADER" "$build/x86_64/bin/tunercard.exe" state

# The agent starts the radio from its own folder, the build's bin folder,
# which becomes the radio's current folder (it reads its skins there), a
# second after it sees the card.
bin="$build/x86_64/bin"
(cd "$build" && exec setsid "$WINELOADER" "$bin/Agent_Tavolin.exe") </dev/null >"$build/run-agent.log" 2>&1 &
shot="$build/radio-screenshot"
if (cd "$bin" && "$WINELOADER" window_shot.exe Vantor "$(basename "$shot").bmp" 20000 >/dev/null); then
    mv "$bin/$(basename "$shot").bmp" "$shot.bmp"
    /usr/bin/python3 -c "import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])" \
        "$shot.bmp" "$shot.png" && rm -f "$shot.bmp"
    echo "the radio is running on display $DISPLAY; screenshot: $shot.png"
else
    echo "the radio's window did not appear (see $build/run-agent.log)" >&2
    exit 1
fi
trap - EXIT
echo "stop it with: bash scripts/stop.sh"
