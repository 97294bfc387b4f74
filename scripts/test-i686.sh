#!/bin/bash
# Runs the i686 build's tests (already built by scripts/build.sh) under
# 32-bit Wine, in the Debian root file system of scripts/rootfs32.sh, with
# the same fresh prefix, card installation and Xvfb as the x86_64 run.
# Extra arguments go to ctest (for example -R card).
#
# Where the host kernel runs 32-bit code the root file system is entered by
# chroot; elsewhere it is booted in QEMU, the work tree and the build folder
# shared over 9p. A tiny static i386 program decides; TAVOLIN_I686_MODE=chroot
# or vm overrides. In a VM, KVM is used only when the CPU shows vmx or svm
# (TAVOLIN_VM_ACCEL=kvm or tcg overrides).
#
#   test-i686.sh --mode    prints the mode this machine uses, and nothing else
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build

# exit(42) in 96 bytes: an ELF header, one program header and three i386
# instructions (mov eax,1; mov ebx,42; int 0x80).
probe_i386() {
    local file="$build/.probe-i386" status=0
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$file"
    chmod +x "$file"
    "$file" 2>/dev/null || status=$?
    rm -f "$file"
    [ $status -eq 42 ]
}

mode="${TAVOLIN_I686_MODE:-}"
if [ -z "$mode" ]; then
    if probe_i386; then mode=chroot; else mode=vm; fi
fi
case "$mode" in
    chroot | vm) ;;
    *) echo "TAVOLIN_I686_MODE must be chroot or vm, not '$mode'" >&2; exit 2 ;;
esac
if [ "${1:-}" = --mode ]; then
    echo "$mode"
    exit 0
fi
tavolin_need_root "entering the 32-bit environment (chroot or VM)" || exit 1

# What runs inside: an X server of its own, then the fresh win32 prefix with
# the card and ctest.
inner=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
       TAVOLIN_WINE_ARCH=win32 TAVOLIN_BUILD_DIR="$build" WINEDEBUG="${WINEDEBUG:--all}"
       bash "$root/scripts/test-in-display.sh" "$@")

run_chroot() {
    local rootfs
    tavolin_use_rootfs32
    # A mount namespace of its own: the mounts end with the run and are never
    # seen, or left behind, in the cache folder.
    unshare --mount --propagation private bash -c '
        set -e
        rootfs=$1; shift
        for m in proc sys dev dev/pts tmp; do mount --rbind "/$m" "$rootfs/$m"; done
        for dir in "$1" "$2"; do mkdir -p "$rootfs$dir"; mount --rbind "$dir" "$rootfs$dir"; done
        shift 2
        exec chroot "$rootfs" "$@"' run_chroot "$rootfs" "$root" "$build" "${inner[@]}"
}

run_vm() {
    local rootfs kernel initrd accel job status init
    tavolin_use_rootfs32 vm
    command -v qemu-system-x86_64 >/dev/null || bash "$root/scripts/deps.sh" qemu-system-x86
    kernel=$(ls -v "$rootfs"/boot/vmlinuz-* | tail -n1)
    initrd="$rootfs/boot/initrd.img-${kernel##*/vmlinuz-}"
    accel="${TAVOLIN_VM_ACCEL:-}"
    if [ -z "$accel" ]; then
        accel=tcg
        [ -w /dev/kvm ] && grep -qEw 'vmx|svm' /proc/cpuinfo && accel=kvm
    fi
    # Under TCG, -cpu max (with SMAP) crashes every 32-bit Wine process.
    local cpu=(-accel tcg,thread=multi -cpu max,-smap)
    [ "$accel" = kvm ] && cpu=(-accel kvm -cpu host)

    # The job folder, shared with the VM: what to run, and its exit status.
    job=$(mktemp -d "$build/.vm-job.XXXXXX")
    {
        printf 'root=%q\nbuild=%q\n' "$root" "$build"
        printf 'command=('
        printf '%q ' "${inner[@]}"
        printf ')\n'
    } >"$job/env"
    # The VM's first process: the file systems, the shares at their host
    # paths, the job, its status, power off. Other runs may boot from the
    # root file system at the same time: the file is replaced whole.
    init=$(mktemp "$rootfs/usr/local/sbin/.tavolin-vm-init.XXXXXX")
    cat >"$init" <<'EOF'
#!/bin/bash
# The initrd hands over /proc, /sys and /dev already mounted.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
dmesg -n 1
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname tavolin-i686
options=trans=virtio,version=9p2000.L,msize=262144,cache=loose
mkdir -p /run/job
mount -t 9p -o $options job /run/job
. /run/job/env
mkdir -p "$root" "$build"
mount -t 9p -o $options work "$root"
mount -t 9p -o $options build "$build"
echo "VM up in $(cut -d' ' -f1 /proc/uptime) s" >/dev/ttyS0
status=0
"${command[@]}" </dev/null >/dev/ttyS0 2>&1 || status=$?
echo $status >/run/job/status
sync
echo o >/proc/sysrq-trigger
sleep 60
EOF
    chmod 755 "$init"
    mv "$init" "$rootfs/usr/local/sbin/tavolin-vm-init"
    local share=(-fsdev local,id=rootfs,path="$rootfs",security_model=passthrough
                 -device virtio-9p-pci,fsdev=rootfs,mount_tag=rootfs
                 -fsdev local,id=work,path="$root",security_model=passthrough
                 -device virtio-9p-pci,fsdev=work,mount_tag=work
                 -fsdev local,id=build,path="$build",security_model=passthrough
                 -device virtio-9p-pci,fsdev=build,mount_tag=build
                 -fsdev local,id=job,path="$job",security_model=passthrough
                 -device virtio-9p-pci,fsdev=job,mount_tag=job)
    echo "booting the 32-bit environment in QEMU ($accel)"
    status=0
    timeout 3600 qemu-system-x86_64 "${cpu[@]}" -smp "$(nproc)" -m 3G -nodefaults -display none \
        -no-reboot -serial stdio -kernel "$kernel" -initrd "$initrd" "${share[@]}" \
        -append "root=rootfs rootfstype=9p rootflags=trans=virtio,version=9p2000.L,msize=262144,cache=loose rw fsck.mode=skip console=ttyS0 quiet loglevel=3 init=/usr/local/sbin/tavolin-vm-init" \
        </dev/null | sed -u 's/\r$//' || status=$?
    if [ -f "$job/status" ]; then
        status=$(cat "$job/status")
    else
        echo "the VM ended without finishing the tests (status $status)"
        [ "$status" -ne 0 ] || status=1
    fi
    rm -rf "$job"
    return "$status"
}

echo "i686 tests under 32-bit Wine, mode: $mode"
"run_$mode"
