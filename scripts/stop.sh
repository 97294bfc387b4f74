#!/bin/bash
# Ends every Wine process of the run prefix (and with it the card's driver).
root=$(cd "$(dirname "$0")/.." && pwd)
export TAVOLIN_WINEPREFIX="${TAVOLIN_BUILD_DIR:-$root/build}/run-prefix"
. "$root/scripts/wine-env.sh"
"$WINESERVER" -k 2>/dev/null || true
