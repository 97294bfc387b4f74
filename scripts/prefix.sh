# Sourced: makes a fresh Wine prefix with the virtual card installed and
# inserted, and keeps its wineserver alive so the card's driver (and its
# state) stays loaded between programs.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Written into every prefix made here. A prefix is deleted only when it lies
# inside the build folder and carries this file: a user's own prefix, ~/.wine
# or a folder someone else made is never touched.
tavolin_prefix_marker=.tavolin-prefix
tavolin_prefix_marker_text="Wine prefix made by Tavolin's scripts/prefix.sh; deleted and remade at will"

# Fails, with a message, unless $WINEPREFIX may be (re)made here: a path
# inside the build folder that is either absent or a prefix made here.
tavolin_prefix_is_ours() {
    local real_build real_prefix
    real_build=$(realpath -m -- "$tavolin_build" 2>/dev/null) || real_build=
    real_prefix=
    [ -n "${WINEPREFIX:-}" ] && real_prefix=$(realpath -m -- "$WINEPREFIX" 2>/dev/null)
    if [ -z "$real_build" ] || [ -z "$real_prefix" ] || [ "${real_prefix#"$real_build"/}" = "$real_prefix" ]; then
        echo "refusing to make or delete the Wine prefix '${WINEPREFIX:-}': it is not inside the build folder $tavolin_build" >&2
        return 1
    fi
    if [ -e "$real_prefix" ] &&
        { [ -L "$real_prefix/$tavolin_prefix_marker" ] ||
          [ "$(cat "$real_prefix/$tavolin_prefix_marker" 2>/dev/null)" != "$tavolin_prefix_marker_text" ]; }; then
        echo "refusing to delete the Wine prefix '$WINEPREFIX': these scripts did not make it (no $tavolin_prefix_marker);" \
             "remove it yourself if it may go" >&2
        return 1
    fi
}

# Stops the Wine processes of $WINEPREFIX, only when it is a prefix made here:
# never the wineserver of a prefix someone else uses.
tavolin_stop_prefix() {
    if tavolin_prefix_is_ours 2>/dev/null; then
        "$WINESERVER" -k 2>/dev/null || true
    fi
}

# tavolin_wine WHAT PROGRAM [ARGUMENTS]: runs a Wine program with its output
# in a file: the first program of a session starts Wine's services, which
# inherit its output, and must not hold the caller's terminal or pipe. The
# output is shown, with WHAT, only when the program fails.
tavolin_wine() {
    local what=$1 log status=0
    shift
    log=$(mktemp)
    "$WINELOADER" "$@" </dev/null >"$log" 2>&1 || status=$?
    [ $status -eq 0 ] || { cat "$log" >&2; echo "$what failed (status $status) in the Wine prefix $WINEPREFIX" >&2; }
    rm -f "$log"
    return $status
}

# tavolin_fresh_prefix [--unmanaged] [--silent] [BIN]: the card from BIN,
# the build's bin folder unless named. For an X server with no window manager
# (Xvfb), --unmanaged leaves Wine's windows unmanaged: with managed windows
# Wine waits two seconds for one at every hide and close. --silent: no audio
# driver, for a machine with no sound card (the preset chime fails quietly).
tavolin_fresh_prefix() {
    local settings=()
    while [ "${1:-}" = --unmanaged ] || [ "${1:-}" = --silent ]; do
        case "$1" in
            --unmanaged) settings+=('HKCU\Software\Wine\X11 Driver' Managed N) ;;
            --silent) settings+=('HKCU\Software\Wine\Drivers' Audio '') ;;
        esac
        shift
    done
    tavolin_prefix_is_ours || return 1
    local prefix
    prefix=$(realpath -m -- "$WINEPREFIX")
    tavolin_stop_prefix
    rm -rf -- "$prefix"
    mkdir -p "$prefix"
    echo "$tavolin_prefix_marker_text" >"$prefix/$tavolin_prefix_marker"
    tavolin_wine "making the prefix (wineboot)" wineboot -i || return
    # Wine's Marlett draws the caption buttons, the arrows and the menus'
    # marks (without it they show as letters, "0 1 r"). This Wine looks for
    # its own fonts (fonts-wine) under a path it cannot open; it finds them
    # in the prefix's Fonts folder.
    local fonts="$prefix/drive_c/windows/Fonts"
    [ ! -f /usr/share/wine/fonts/marlett.ttf ] || [ ! -d "$fonts" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    # Set before anything else starts: the card's installation starts Wine's
    # desktop process (the tray's home), which reads them only then.
    local index
    for ((index = 0; index < ${#settings[@]}; index += 3)); do
        tavolin_wine "setting ${settings[index + 1]}" reg add "${settings[index]}" \
            /v "${settings[index + 1]}" /d "${settings[index + 2]}" /f || return
    done
    # The card goes in only after the first wineserver has exited; otherwise
    # its driver starts seconds late. It is ended (saving the registry)
    # rather than waited for: wineboot's services would keep it up seconds
    # longer.
    "$WINESERVER" -k
    "$WINESERVER" -p >/dev/null 2>&1
    local bin="${1:-$tavolin_build/$tavolin_arch/bin}"
    tavolin_wine "installing the virtual card" "$bin/tunercard.exe" install "$bin/tavolincard.inf" || return
    "$WINELOADER" "$bin/tunercard.exe" wait present 30
}
