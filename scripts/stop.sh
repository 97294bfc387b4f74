#!/bin/bash
# Ends every Wine process of the run prefix (the radio, and with them the
# card's driver), and the virtual X server run.sh started, if any.
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
export TAVOLIN_WINEPREFIX="$build/run-prefix"
. "$root/scripts/wine-env.sh"
[ -d "$WINEPREFIX" ] && "$WINESERVER" -k 2>/dev/null
pid_file="$build/run-xvfb.pid"
if [ -f "$pid_file" ]; then
    pid=$(cat "$pid_file")
    # Only the X server this script's partner started, still running as Xvfb.
    [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = Xvfb ] && kill "$pid"
    rm -f "$pid_file"
fi
exit 0
