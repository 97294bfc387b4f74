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
case "${1:---help}" in
    --help | -h | help)
        # The tool's own text, read from its source: no Wine, no run needed.
        echo "bash scripts/tunercard.sh COMMAND [ARGUMENTS]: the tunercard tool on the card of the run"
        echo "bash scripts/run.sh started. The tool's commands:"
        echo
        sed -n '/^const char kUsage\[\] =/,/;$/{ /kUsage/d; s/^ *"//; s/\\n";\{0,1\}$//; s/\\"/"/g; p; }' \
            "$root/tunercard/tool/tunercard_tool.cpp"
        exit 0 ;;
esac
tavolin_need_run || exit 1
tavolin_run_in bash "$root/scripts/wine-run" "$run_bin/tunercard.exe" "$@"
