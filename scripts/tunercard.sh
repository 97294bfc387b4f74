#!/bin/bash
# The tunercard tool on the card of the radio run.sh started, in whichever
# build and Wine that run uses (the i686 one in the 32-bit environment):
#
#   bash scripts/tunercard.sh pull | insert | state | log | --help ...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
# Not the build folder's lock: this only talks to a running card.
tavolin_build_folder
. "$root/scripts/run-env.sh"
tavolin_run_use_last
tavolin_run_in bash "$root/scripts/wine-run" "$run_bin/tunercard.exe" "$@"
