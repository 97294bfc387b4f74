#!/bin/bash
# Another screenshot of the radio run.sh started, in whichever build and Wine
# that run uses: the window as the screen shows it now, into
# build/radio-screenshot.png (where run.sh put its first one).
#
#   bash scripts/screenshot.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
# Not the build folder's lock: this only looks at a running radio.
tavolin_build_folder
. "$root/scripts/run-env.sh"
tavolin_need_run || exit 1
tavolin_run_screenshot
