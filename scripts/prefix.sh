# Sourced: makes a fresh Wine prefix with the virtual card installed and
# inserted, and keeps its wineserver alive so the card's driver (and its
# state) stays loaded between programs.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

tavolin_fresh_prefix() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINELOADER" wineboot -i >/dev/null 2>&1
    # The card goes in only after the first wineserver has exited; otherwise
    # its driver starts seconds late.
    "$WINESERVER" -w
    "$WINESERVER" -p
    local bin="${TAVOLIN_BUILD_DIR:-$tavolin_root/build}/x86_64/bin"
    "$WINELOADER" "$bin/tunercard.exe" install "$bin/tavolincard.inf"
    "$WINELOADER" "$bin/tunercard.exe" wait present 30
}
