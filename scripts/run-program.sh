#!/bin/bash
# A Windows program in the Wine of the radio run.sh started: its build's Wine
# (the i686 one inside the 32-bit environment), its prefix and its display.
# For trying things by hand beside the running radio, an installer for
# example; ends with the program's exit code.
#
#   bash scripts/run-program.sh PROGRAM [ARGUMENTS]
#       PROGRAM: a file of the work tree or the build folder, or a Windows
#       path in the run's prefix ('C:\Program Files\Tavolin\uninstall.exe')
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
# Not the build folder's lock: this only starts a program beside a run.
tavolin_build_folder
. "$root/scripts/run-env.sh"
if [ $# -eq 0 ] || [ "$1" = --help ]; then
    sed -n '2,10s/^# \{0,1\}//p' "$0"
    exit 0
fi
tavolin_need_run || exit 1
program=$1
shift
# A file here is named by its full path: the 32-bit environment starts
# elsewhere, with the work tree and the build folder at the same paths.
[ ! -e "$program" ] || program=$(realpath -- "$program")
display=()
[ ! -f "$tavolin_run_display_file" ] || mapfile -t display <"$tavolin_run_display_file"
tavolin_run_in "${display[@]}" bash "$root/scripts/wine-run" "$program" "$@"
