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
    "$WINESERVER" -p >/dev/null 2>&1
    local bin="${TAVOLIN_BUILD_DIR:-$tavolin_root/build}/$tavolin_arch/bin"
    # The first program of a session starts Wine's services, which inherit
    # its output; give them a file rather than the caller's terminal or pipe.
    local log
    log=$(mktemp)
    local status=0
    "$WINELOADER" "$bin/tunercard.exe" install "$bin/tavolincard.inf" </dev/null >"$log" 2>&1 || status=$?
    cat "$log"
    rm -f "$log"
    [ $status -eq 0 ] || return $status
    "$WINELOADER" "$bin/tunercard.exe" wait present 30
}
