#!/bin/bash
# The main job: build, then a Wine prefix with the virtual tuner card
# installed and inserted, the card's state printed, and the agent started in
# the background: it sees the card and starts the radio in a real window
# (on DISPLAY). The prefix's wineserver stays up, so the card stays loaded for
# the programs run in it (scripts/wine-run PROGRAM); end it with:
# scripts/stop.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
export TAVOLIN_WINEPREFIX="$build/run-prefix"
. "$root/scripts/prefix.sh"
tavolin_fresh_prefix
"$WINELOADER" "$build/x86_64/bin/tunercard.exe" state
# The agent runs from the build's bin folder, where the radio and its skins
# are; a second after its start it finds the card and starts the radio.
bin="$build/x86_64/bin"
"$WINELOADER" "$bin/Agent_Tavolin.exe" </dev/null >"$build/agent.log" 2>&1 &
for _ in $(seq 40); do
    if "$WINELOADER" "$bin/tunercard.exe" state | grep -Eq 'open handles +[1-9]'; then
        echo "the agent started the radio: it holds the card"
        exit 0
    fi
    sleep 0.5
done
echo "the radio did not open the card within 20 s (see $build/agent.log)" >&2
exit 1
