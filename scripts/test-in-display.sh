#!/bin/bash
# An X server of its own (scripts/display.sh), a fresh prefix with the card,
# then ctest, for the build wine-env.sh names (x86_64 on the host; i686 with
# TAVOLIN_WINE_ARCH=win32 in the 32-bit environment). Every Wine process and
# the X server are ended afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVOLIN_BUILD_DIR:-$root/build}"
prefix=test-prefix
[ "${TAVOLIN_WINE_ARCH:-win64}" = win32 ] && prefix=test-prefix-i686
export TAVOLIN_WINEPREFIX="$build/$prefix"
. "$root/scripts/prefix.sh"
. "$root/scripts/display.sh"
trap 'tavolin_stop_prefix; tavolin_stop_display' EXIT
tavolin_start_display
echo "$tavolin_arch tests on display $DISPLAY"
tavolin_fresh_prefix
# Xvfb runs no window manager: with managed windows Wine waits two seconds
# for one at every hide and close. The tests' windows are left unmanaged.
"$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
# No sound card here: no audio driver, so the preset chime fails quietly.
"$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null
ctest --test-dir "$build/$tavolin_arch" --output-on-failure "$@"
