# Sourced, after lock.sh's tavolin_claim_build: which build the run command
# runs and how its Wine is reached, for run.sh, stop.sh and tunercard.sh.
# run.sh notes its choice in the build folder's run-mode file: "x86_64"
# (64-bit Wine on the host) or "i686 chroot" / "i686 vm" (32-bit Wine in the
# 32-bit environment).
tavolin_run_mode_file="$build/run-mode"

# tavolin_run_use ARCH [WAY]: sets run_arch, run_way (host, chroot or vm),
# run_bin (the run build's bin folder) and run_prefix.
tavolin_run_use() {
    run_arch=$1
    run_way=${2:-host}
    run_bin="$build/run-$run_arch/bin"
    run_prefix="$build/run-prefix"
    [ "$run_arch" = x86_64 ] || run_prefix="$build/run-prefix-$run_arch"
}

# The last run's choice; x86_64 when none is noted.
tavolin_run_use_last() {
    # shellcheck disable=SC2046
    tavolin_run_use $(cat "$tavolin_run_mode_file" 2>/dev/null || echo x86_64)
}

# tavolin_run_in [VARIABLE=VALUE...] COMMAND...: runs COMMAND beside the
# run's Wine, with the run prefix and bin folder.
tavolin_run_in() {
    local vars=(TAVOLIN_WINEPREFIX="$run_prefix" TAVOLIN_RUN_BIN="$run_bin")
    if [ "$run_way" = host ]; then
        env "${vars[@]}" "$@"
    else
        . "$root/scripts/i686-env.sh"
        tavolin_i686_enter "$run_way" "${tavolin_i686_env[@]}" "${vars[@]}" "$@"
    fi
}
