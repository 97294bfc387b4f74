#!/bin/bash
# Ends every Wine process of the run prefix (the radio, and with them the
# card's driver) when the scripts made that prefix, and the virtual X server
# run.sh started, if any.
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
export TAVOLIN_WINEPREFIX="$build/run-prefix"
. "$root/scripts/prefix.sh"
tavolin_stop_prefix
pid_file="$build/run-xvfb.pid"
if [ -f "$pid_file" ]; then
    pid=$(cat "$pid_file")
    # Only the X server run.sh started for this build folder: its process
    # still runs Xvfb with this folder's authority file.
    [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = Xvfb ] &&
        tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -qxF -- "$build/run-xauthority" && kill "$pid"
    rm -f "$pid_file"
fi
exit 0
