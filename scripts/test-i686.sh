#!/bin/bash
# Runs the i686 build's tests (already built by scripts/build.sh) under
# 32-bit Wine, in the 32-bit environment (scripts/i686-env.sh: chroot or VM),
# with the same fresh prefix, card installation and Xvfb as the x86_64 run.
# Extra arguments go to ctest (for example -R card).
#
#   test-i686.sh --mode    prints the mode this machine uses, and nothing else
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
. "$root/scripts/i686-env.sh"
mode=$(tavolin_i686_mode) || exit 2
if [ "${1:-}" = --mode ]; then
    echo "$mode"
    exit 0
fi
echo "i686 tests under 32-bit Wine, mode: $mode"
# Inside: an X server of its own, then the fresh win32 prefix with the card
# and ctest.
tavolin_i686_enter "$mode" "${tavolin_i686_env[@]}" bash "$root/scripts/test-in-display.sh" "$@"
