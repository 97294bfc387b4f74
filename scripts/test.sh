#!/bin/bash
# The whole test run from nothing: packages, both builds, a fresh 64-bit
# Wine prefix with the virtual card installed, and every test under Xvfb.
# Extra arguments go to ctest (for example -R card).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/scripts/test-in-display.sh" "$@"
