# Sourced, after lock.sh's tavolin_claim_build or tavolin_build_folder: which
# build the run command runs and how its Wine is reached, for run.sh, stop.sh
# and tunercard.sh. run.sh notes its choice in the build folder's run-mode
# file: "x86_64 host" (64-bit Wine on the host) or "i686 chroot" / "i686 vm"
# (32-bit Wine in the 32-bit environment).
tavolin_run_mode_file="$build/run-mode"
# The display the run shows on (DISPLAY= and XAUTHORITY= lines), for later
# screenshots; none for a VM, which has its own.
tavolin_run_display_file="$build/run-display"
# A VM stays up for the whole run. This folder is its job folder (/run/job
# inside, uncached): each command for it is a file there, run inside by
# run-radio.sh serve, which leaves the output and the status beside it.
tavolin_run_vm="$build/run-vm"

# tavolin_run_use ARCH [WAY]: sets run_arch, run_way (host, chroot or vm),
# run_bin (the run build's bin folder) and run_prefix.
tavolin_run_use() {
    run_arch=$1
    run_way=${2:-host}
    run_bin="$build/run-$run_arch/bin"
    run_prefix="$build/run-prefix"
    [ "$run_arch" = x86_64 ] || run_prefix="$build/run-prefix-$run_arch"
}

# The last run's choice; the x86_64 build on the host when none is noted.
tavolin_run_use_last() {
    # shellcheck disable=SC2046
    tavolin_run_use $(cat "$tavolin_run_mode_file" 2>/dev/null || echo x86_64)
}

# Succeeds while the last run is going: its VM is up, or a wineserver serves
# its prefix (the programs, the card's driver). Sets what tavolin_run_use sets.
tavolin_run_going() {
    [ -f "$tavolin_run_mode_file" ] || return 1
    tavolin_run_use_last
    if [ "$run_way" = vm ]; then
        tavolin_run_vm_up
        return
    fi
    local pid
    for pid in $(pgrep -x 'wineserver|wineserver64'); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$run_prefix" && return 0
    done
    return 1
}

# Says how to start a run and fails, unless one is going.
tavolin_need_run() {
    tavolin_run_going && return 0
    echo "no run is going: start one with bash scripts/run.sh (or run.sh --i686)" >&2
    return 1
}

# Takes a screenshot of the running radio's window into the build folder's
# radio-screenshot.png and says where it is.
tavolin_run_screenshot() {
    local shot="$build/radio-screenshot" display=()
    [ ! -f "$tavolin_run_display_file" ] || mapfile -t display <"$tavolin_run_display_file"
    tavolin_run_in "${display[@]}" bash "$root/scripts/run-radio.sh" shot
    /usr/bin/python3 -c "import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])" \
        "$shot.bmp" "$shot.png"
    rm -f "$shot.bmp"
    echo "screenshot: $shot.png"
}

# Up: its QEMU runs, sharing this job folder (never another process that
# took over the number).
tavolin_run_vm_up() {
    local pid
    pid=$(cat "$tavolin_run_vm/qemu.pid" 2>/dev/null) &&
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF -- "path=$tavolin_run_vm,"
}

# Boots the run's VM, in the background.
tavolin_run_boot() {
    rm -rf -- "$tavolin_run_vm"
    mkdir -p "$tavolin_run_vm"
    . "$root/scripts/i686-env.sh"
    TAVOLIN_VM_JOB="$tavolin_run_vm" tavolin_i686_enter vm "${tavolin_i686_env[@]}" \
        bash "$root/scripts/run-radio.sh" serve /run/job
}

# tavolin_run_in [VARIABLE=VALUE...] COMMAND...: runs COMMAND beside the
# run's Wine, with the run prefix and bin folder.
tavolin_run_in() {
    local vars=(TAVOLIN_WINEPREFIX="$run_prefix" TAVOLIN_RUN_BIN="$run_bin")
    case "$run_way" in
        host) env "${vars[@]}" "$@" ;;
        chroot)
            . "$root/scripts/i686-env.sh"
            tavolin_i686_enter chroot "${tavolin_i686_env[@]}" "${vars[@]}" "$@" ;;
        vm)
            tavolin_run_vm_up || { echo "the run's VM is not running" >&2; return 1; }
            local id status
            id=$(mktemp -u "$tavolin_run_vm/XXXXXX")
            printf '%q ' "${vars[@]}" "$@" >"$id.part"
            mv "$id.part" "$id.cmd"
            timeout 900 bash -c 'until [ -e "$1.status" ] || ! kill -0 "$2" 2>/dev/null; do sleep 0.2; done' \
                wait "$id" "$(cat "$tavolin_run_vm/qemu.pid")" || true
            [ -e "$id.status" ] || { echo "the run's VM did not answer (see $tavolin_run_vm/console.log)" >&2; return 1; }
            cat "$id.out"
            status=$(cat "$id.status")
            rm -f "$id.out" "$id.status"
            return "$status" ;;
    esac
}

# Ends the run's Wine processes, and its VM.
tavolin_run_end() {
    [ "$run_way" != vm ] || tavolin_run_vm_up || return 0
    tavolin_run_in bash "$root/scripts/run-radio.sh" stop
    [ "$run_way" = vm ] || return 0
    local pid
    pid=$(cat "$tavolin_run_vm/qemu.pid")
    touch "$tavolin_run_vm/shutdown"
    timeout 60 bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 0.2; done' wait "$pid" ||
        { tavolin_run_vm_up && kill "$pid"; }
    rm -rf -- "$tavolin_run_vm"
}
