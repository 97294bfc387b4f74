# Sourced: the environment every Wine call of the project runs in.
# 64-bit Wine only: the 32-bit loader cannot run on these machines, so the
# loader is named directly instead of going through Debian's wine script.
tavolin_root=$(cd "$(dirname "${BASH_SOURCE:-$0}")/.." 2>/dev/null && pwd)
[ -n "$tavolin_root" ] && [ -f "$tavolin_root/CMakeLists.txt" ] || tavolin_root=$(cd "$(dirname "$0")/.." && pwd)
tavolin_build="${TAVOLIN_BUILD_DIR:-$tavolin_root/build}"
# Always a prefix of the project's own, never the caller's WINEPREFIX (nor
# ~/.wine): the scripts and the tests install drivers and rewrite registry
# keys in it.
export WINEPREFIX="${TAVOLIN_WINEPREFIX:-$tavolin_build/wineprefix}"
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: nothing here needs them, and Wine would ask for them.
export WINEDLLOVERRIDES="mscoree,mshtml="
