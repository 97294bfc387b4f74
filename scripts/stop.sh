#!/bin/bash
# Ends what run.sh started, in whichever build it ran (the i686 one in the
# 32-bit environment): every Wine process of the run prefix (the agent, the
# radio, and with them the card's driver) when the scripts made that prefix,
# the VM it booted and the virtual X server it started, if any.
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
. "$root/scripts/run-env.sh"
tavolin_run_use_last
tavolin_run_end
rm -f "$tavolin_run_mode_file" "$tavolin_run_display_file"
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
