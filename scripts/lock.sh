# Sourced: what lets several runs share one machine. Each lock is held by a
# small helper process that ends with the shell that took it, so the lock's
# file is open nowhere else: the Wine servers, programs and X servers a run
# leaves running never keep it.

# tavolin_hold FILE [flock options]: holds FILE's lock for as long as this
# shell runs; fails when flock gives up (-n, -w). tavolin_release lets go
# of the last lock taken.
tavolin_hold() {
    local file=$1 answer=
    shift
    exec {tavolin_hold_pipe}< <(exec flock "$@" "$file" bash -c 'echo "held $$"; exec tail --pid="$1" -s 0.2 -f /dev/null >/dev/null' hold "$$" 2>/dev/null)
    read -r answer tavolin_holder <&"$tavolin_hold_pipe" || true
    exec {tavolin_hold_pipe}<&-
    [ "$answer" = held ]
}

tavolin_release() {
    kill "$tavolin_holder" 2>/dev/null || true
}

# Fails with a message unless this shell runs as root.
tavolin_need_root() {
    [ "$(id -u)" = 0 ] && return 0
    echo "$1 needs root: run this as root (for example with sudo)" >&2
    return 1
}

# Sets `build` to the build folder, absolute (a relative TAVOLIN_BUILD_DIR
# is taken from the caller's folder, once, and passed on so).
tavolin_build_folder() {
    build=$(realpath -m -- "${TAVOLIN_BUILD_DIR:-$root/build}")
    export TAVOLIN_BUILD_DIR="$build"
}

# Sets `build` as tavolin_build_folder does and holds it for this run: a
# second run on the same folder stops with a message. The scripts a run
# starts share its lock (TAVOLIN_BUILD_LOCK names the folder and the holding
# shell).
tavolin_claim_build() {
    tavolin_build_folder
    local held=${TAVOLIN_BUILD_LOCK:-}
    if [ "${held#"$build "}" != "$held" ] && kill -0 "${held#"$build "}" 2>/dev/null; then
        return 0
    fi
    mkdir -p "$build"
    # A moment's wait lets a run that has just ended let go.
    tavolin_hold "$build/.run-lock" -w 2 || { echo "another run uses $build" >&2; exit 1; }
    export TAVOLIN_BUILD_LOCK="$build $$"
}

# tavolin_use_rootfs32 [vm]: the shared 32-bit root file system
# (scripts/rootfs32.sh), built or brought up to date first when needed, in
# `rootfs`, held with a shared lock for as long as this shell runs: another
# checkout's rebuild waits until it is no longer used.
tavolin_use_rootfs32() {
    local attempt
    for attempt in 1 2 3; do
        rootfs=$(bash "$root/scripts/rootfs32.sh" "$@") || return 1
        tavolin_hold "$rootfs.lock" -s || return 1
        bash "$root/scripts/rootfs32.sh" current "$@" && return 0
        tavolin_release
    done
    echo "the 32-bit environment in $rootfs keeps being rebuilt by another run" >&2
    return 1
}
