# Sourced: a virtual X server of the caller's own. Xvfb picks the display
# number itself (-displayfd): it takes the first number whose socket and lock
# are free, so runs started at once (the two test builds, a chroot sharing
# /tmp) never race for one, and no other X server is touched.
# tavolin_xvfb_pid holds its process id. Arguments go to Xvfb (-auth FILE).
tavolin_start_display() {
    local fd number
    exec {fd}<> <(:)
    setsid Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp "$@" >/dev/null 2>&1 &
    tavolin_xvfb_pid=$!
    # Under emulation (the 32-bit environment in a VM without KVM) it takes
    # well over 10 s.
    if ! read -r -t 60 number <&"$fd"; then
        exec {fd}>&-
        echo "Xvfb did not start" >&2
        return 1
    fi
    exec {fd}>&-
    export DISPLAY=":$number"
}

# Ends the X server tavolin_start_display started, and no other.
tavolin_stop_display() {
    [ -n "${tavolin_xvfb_pid:-}" ] || return 0
    kill "$tavolin_xvfb_pid" 2>/dev/null || true
    tavolin_xvfb_pid=
}
