#!/bin/bash
# The main job: build, then a Wine prefix with the virtual tuner card
# installed and inserted, and the card's state printed. The prefix's
# wineserver stays up, so the card stays loaded for the programs run in it
# (scripts/wine-run PROGRAM); end it with: scripts/stop.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
export TAVOLIN_WINEPREFIX="$build/run-prefix"
. "$root/scripts/prefix.sh"
tavolin_fresh_prefix
"$WINELOADER" "$build/x86_64/bin/tunercard.exe" state
