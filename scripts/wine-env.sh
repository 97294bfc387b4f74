# Sourced: the environment every Wine call of the project runs in.
# The loader is named directly instead of going through Debian's wine
# script. On the host that is 64-bit Wine (the x86_64 build, a win64 prefix):
# wine32 must never be installed there. Inside the 32-bit environment
# (scripts/test-i686.sh) TAVOLIN_WINE_ARCH=win32 picks the 32-bit loader for
# the i686 build in a win32 prefix; tavolin_arch names the build either way.
tavolin_root=$(cd "$(dirname "${BASH_SOURCE:-$0}")/.." 2>/dev/null && pwd)
[ -n "$tavolin_root" ] && [ -f "$tavolin_root/CMakeLists.txt" ] || tavolin_root=$(cd "$(dirname "$0")/.." && pwd)
tavolin_build="${TAVOLIN_BUILD_DIR:-$tavolin_root/build}"
# A test CTest runs in a lane (scripts/test-in-display.sh) runs in that
# lane's prefix and X server.
if [ -n "${CTEST_RESOURCE_GROUP_0_LANES:-}" ] && [ -n "${TAVOLIN_TEST_LANE_FILES:-}" ]; then
    tavolin_lane=${CTEST_RESOURCE_GROUP_0_LANES#id:}
    . "$TAVOLIN_TEST_LANE_FILES/${tavolin_lane%%,*}"
    export TAVOLIN_WINEPREFIX DISPLAY
fi
# Always a prefix of the project's own, never the caller's WINEPREFIX (nor
# ~/.wine): the scripts and the tests install drivers and rewrite registry
# keys in it.
export WINEPREFIX="${TAVOLIN_WINEPREFIX:-$tavolin_build/wineprefix}"
if [ "${TAVOLIN_WINE_ARCH:-win64}" = win32 ]; then
    export WINELOADER=/usr/lib/wine/wine WINEARCH=win32
    tavolin_arch=i686
else
    export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
    tavolin_arch=x86_64
fi
export WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: nothing here needs them, and Wine would ask for them. No
# winemenubuilder: shortcuts made in a prefix (the installer's) must not turn
# into menu entries of the Linux desktop, outside the build folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
