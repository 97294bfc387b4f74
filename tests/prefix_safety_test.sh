#!/bin/bash
# The prefix scripts delete only a prefix they made themselves, inside the
# build folder: a user's own prefix (through WINEPREFIX, TAVOLIN_WINEPREFIX,
# ~/.wine or a link) survives with every file, and its wineserver is not
# stopped. Runs on scratch folders; wineserver and wine are stand-ins that
# record their calls. Argument: the scripts folder.
set -u
scripts=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

fail() {
    echo "FAIL $*"
    failed=1
    case_failed=1
}

# Starts a case; passed says ok when none of its checks failed.
case_failed=0
passed() {
    [ $case_failed -eq 0 ] && echo "ok   $*"
    case_failed=0
}

# A foreign prefix as Wine leaves it, with the user's own file in it.
make_foreign() {
    mkdir -p "$1/drive_c/users/me"
    echo "precious" >"$1/drive_c/users/me/notes.txt"
    echo "WINE REGISTRY Version 2" >"$1/system.reg"
}

survives() {
    [ "$(cat "$1/drive_c/users/me/notes.txt" 2>/dev/null)" = precious ] && [ -f "$1/system.reg" ]
}

# One attempt at a fresh prefix in a clean shell: the scripts sourced with the
# given environment, then tavolin_fresh_prefix with Wine's programs replaced.
# Prints the exit status, then what reached the stand-ins.
attempt() {
    local calls="$scratch/calls"
    : >"$calls"
    env -i PATH="$PATH" HOME="$scratch/home" "$@" bash -c '
        . "$0/prefix.sh"
        [ -n "${FORCE_WINEPREFIX+set}" ] && export WINEPREFIX="$FORCE_WINEPREFIX"
        stand_in="$1"
        WINESERVER="$stand_in/wineserver" WINELOADER="$stand_in/wine"
        mkdir -p "$stand_in/x86_64/bin"
        printf "#!/bin/sh\necho \"\$(basename \"\$0\") \$* in \$WINEPREFIX\" >>%s\n" "$2" >"$stand_in/wineserver"
        cp "$stand_in/wineserver" "$stand_in/wine"
        echo "case \"\$1 \${BOOT_FAILS:-}\" in \"wineboot yes\") echo boot trouble; exit 3 ;; esac" >>"$stand_in/wine"
        chmod +x "$stand_in/wineserver" "$stand_in/wine"
        tavolin_fresh_prefix >/dev/null
        ' "$scripts" "$scratch/stand-in" "$calls" 2>"$scratch/message"
    echo $?
    cat "$calls"
}

# Expects a refusal that leaves `prefix` as it was and starts no Wine program.
expect_refused() {
    local what=$1 prefix=$2
    shift 2
    local output status
    output=$(attempt "$@")
    status=$(echo "$output" | head -n 1)
    [ "$status" != 0 ] || fail "$what: accepted"
    grep -q refusing "$scratch/message" || fail "$what: no message saying why (got: $(cat "$scratch/message"))"
    survives "$prefix" || fail "$what: the prefix was touched"
    [ "$(echo "$output" | tail -n +2)" = "" ] || fail "$what: Wine was called: $(echo "$output" | tail -n +2)"
    passed "$what: $(cat "$scratch/message")"
}

build="$scratch/build"
mkdir -p "$build" "$scratch/home"
foreign="$scratch/mine/.wine-games"
make_foreign "$foreign"

# The caller's WINEPREFIX is never taken as the project's prefix.
chosen=$(env -i PATH="$PATH" WINEPREFIX="$foreign" TAVOLIN_BUILD_DIR="$build" bash -c '. "$0/wine-env.sh"; echo "$WINEPREFIX"' "$scripts")
[ "$chosen" = "$build/wineprefix" ] || fail "WINEPREFIX=$foreign was taken as the project's prefix ($chosen)"
passed "the caller's WINEPREFIX is not the project's prefix"

expect_refused "WINEPREFIX set by hand to the user's prefix" "$foreign" \
    TAVOLIN_BUILD_DIR="$build" FORCE_WINEPREFIX="$foreign"
expect_refused "TAVOLIN_WINEPREFIX naming the user's prefix" "$foreign" \
    TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$foreign"
make_foreign "$scratch/home/.wine"
expect_refused "no WINEPREFIX at all, where Wine means ~/.wine" "$scratch/home/.wine" \
    TAVOLIN_BUILD_DIR="$build" FORCE_WINEPREFIX=""
make_foreign "$build/old-prefix"
expect_refused "a prefix in the build folder the scripts did not make" "$build/old-prefix" \
    TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$build/old-prefix"
marked="$scratch/elsewhere/prefix"
make_foreign "$marked"
echo "Wine prefix made by Tavolin's scripts/prefix.sh; deleted and remade at will" >"$marked/.tavolin-prefix"
expect_refused "a marked prefix outside the build folder" "$marked" \
    TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$marked"
ln -s "$marked" "$build/linked-prefix"
expect_refused "a link in the build folder to a prefix elsewhere" "$marked" \
    TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$build/linked-prefix"
expect_refused "the build folder itself" "$build/old-prefix" \
    TAVOLIN_BUILD_DIR="$build/old-prefix" TAVOLIN_WINEPREFIX="$build/old-prefix"

# A prefix the scripts made is stopped, deleted and made again.
ours="$build/test-prefix"
output=$(attempt TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$ours")
[ "$(echo "$output" | head -n 1)" = 0 ] || fail "a fresh prefix in the build folder was refused: $(cat "$scratch/message")"
[ -f "$ours/.tavolin-prefix" ] || fail "the fresh prefix carries no marker"
echo "$output" | grep -qx "wineserver -k in $ours" || fail "the fresh prefix's wineserver was not stopped first"
touch "$ours/leftover"
output=$(attempt TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$ours")
[ "$(echo "$output" | head -n 1)" = 0 ] || fail "the project's own prefix was refused: $(cat "$scratch/message")"
[ ! -e "$ours/leftover" ] || fail "the project's own prefix was not made afresh"
[ -f "$ours/.tavolin-prefix" ] || fail "the remade prefix carries no marker"
passed "the project's own prefix is made afresh"

output=$(attempt TAVOLIN_BUILD_DIR="$build" TAVOLIN_WINEPREFIX="$ours" BOOT_FAILS=yes)
[ "$(echo "$output" | head -n 1)" != 0 ] || fail "a failed wineboot was taken for a prefix"
grep -q "boot trouble" "$scratch/message" && grep -q "wineboot" "$scratch/message" ||
    fail "a failed wineboot said nothing (got: $(cat "$scratch/message"))"
passed "a failed wineboot shows its output"

survives "$foreign" && survives "$scratch/home/.wine" && survives "$marked" || fail "a foreign prefix is gone"
passed "every foreign prefix survived"

# ---- The entry scripts themselves, on a build folder of their own ----
# Stand-ins: cmake (the build), xvfb-run (runs its command), Xvfb (notes its
# arguments and process, then is the real one) and debootstrap (notes its
# mount namespace, then fails).
bin="$scratch/bin"
calls="$scratch/script-calls"
mkdir -p "$bin"
: >"$calls"
printf '#!/bin/sh\necho "cmake $*" >>"%s"\n' "$calls" >"$bin/cmake"
printf '#!/bin/sh\necho "debootstrap $(readlink /proc/self/ns/mnt)" >>"%s"\nexit 1\n' "$calls" >"$bin/debootstrap"
printf '#!/bin/sh\necho "Xvfb $$ $*" >>"%s"\nexec /usr/bin/Xvfb "$@"\n' "$calls" >"$bin/Xvfb"
printf '#!/bin/sh\nwhile [ "${1#-}" != "$1" ]; do [ "$1" = -s ] && shift; shift; done\nexec "$@"\n' >"$bin/xvfb-run"
chmod +x "$bin"/*
scripts_env=(env -u DISPLAY -u TAVOLIN_WINEPREFIX -u TAVOLIN_BUILD_LOCK PATH="$bin:$PATH" HOME="$scratch/home")
# waits_for FILE TEXT: up to 20 s for TEXT to appear in FILE.
waits_for() { timeout 20 bash -c 'until grep -q -- "$2" "$1" 2>/dev/null; do sleep 0.1; done' wait "$@"; }

# A foreign prefix, linked into the build folder as every prefix the scripts
# use, with its wineserver running.
live="$scratch/theirs/.wine"
make_foreign "$live"
sbuild="$scratch/script-build"
mkdir -p "$sbuild"
for name in test-prefix run-prefix bench-prefix; do ln -s "$live" "$sbuild/$name"; done
WINEPREFIX="$live" /usr/lib/wine/wineserver -f -p 2>/dev/null &
server=$!
# Up once its socket is there (Wine names its folder after the prefix's
# device and inode, under a temporary folder).
server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$live"))
timeout 20 bash -c 'until find /tmp -maxdepth 3 -path "*/$1/socket" -type s | grep -q .; do sleep 0.1; done' wait "$server_dir" ||
    fail "the foreign prefix's wineserver did not start"
for run in "test.sh --x86_64" "bench.sh --quick" "run.sh" "stop.sh"; do
    TAVOLIN_BUILD_DIR="$sbuild" "${scripts_env[@]}" bash "$scripts/"$run >"$scratch/out" 2>&1
    kill -0 $server 2>/dev/null || fail "$run stopped the foreign prefix's wineserver: $(tail -n 3 "$scratch/out")"
    survives "$live" || fail "$run touched the foreign prefix"
    passed "$run leaves a foreign prefix and its wineserver alone"
done
grep -q "^cmake .*-S . -B $sbuild/x86_64 " "$calls" || fail "the scripts did not get as far as the build"

# run.sh's own X server takes only clients with its cookie, and goes when
# the run fails.
xvfb=$(grep '^Xvfb ' "$calls" | tail -n 1)
case "$xvfb" in *" -auth $sbuild/run-xauthority"*) ;; *) fail "run.sh's X server takes any client: $xvfb" ;; esac
[ -n "$(xauth -f "$sbuild/run-xauthority" list 2>/dev/null)" ] || fail "run.sh's X server has no cookie"
timeout 10 bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 0.1; done' wait "$(echo "$xvfb" | cut -d' ' -f2)" ||
    fail "the X server of the failed run.sh still runs"
passed "run.sh's X server has a cookie and ends with a failed run"

# stop.sh leaves an X server alone whose number it is handed, unless run.sh
# started that one for this build folder.
exec {display_fd}<> <(:)
/usr/bin/Xvfb -displayfd "$display_fd" -nolisten tcp >/dev/null 2>&1 &
other_x=$!
read -r -t 10 _ <&"$display_fd" || fail "no X server of someone else's to test with"
echo "$other_x" >"$sbuild/run-xvfb.pid"
TAVOLIN_BUILD_DIR="$sbuild" "${scripts_env[@]}" bash "$scripts/stop.sh"
kill -0 "$other_x" 2>/dev/null || fail "stop.sh ended someone else's X server"
kill "$other_x"
passed "stop.sh ends no X server run.sh did not start"

# A relative build folder is the caller's, made absolute once. One run at a
# time per build folder; what a run starts shares its lock.
: >"$calls"
(cd "$scratch" && TAVOLIN_BUILD_DIR=rel "${scripts_env[@]}" bash "$scripts/build.sh")
grep -q "^cmake .*-S . -B $scratch/rel/i686 " "$calls" || fail "a relative build folder went elsewhere: $(cat "$calls")"
coproc holder { TAVOLIN_BUILD_DIR="$scratch/rel" "${scripts_env[@]}" bash -c '
    root=$1; . "$1/scripts/lock.sh"; tavolin_claim_build; bash "$1/scripts/build.sh" && echo held; read -r _' \
    hold "$(dirname "$scripts")"; }
# Saved now: bash unsets holder_PID once the coprocess ends, and a bare wait
# would then wait for every child, the foreign wineserver included.
holder_pid=$holder_PID
read -r -t 20 answer <&"${holder[0]}"
[ "$answer" = held ] || fail "the build inside a run did not share its lock"
TAVOLIN_BUILD_DIR="$scratch/rel" "${scripts_env[@]}" bash "$scripts/test.sh" >"$scratch/out" 2>&1 && fail "a second run on a used build folder went ahead"
grep -q "another run uses $scratch/rel" "$scratch/out" || fail "the second run did not say why: $(cat "$scratch/out")"
[ "$(grep -c '^cmake' "$calls")" = 8 ] || fail "the second run built anyway"
echo >&"${holder[1]}"
wait "$holder_pid" 2>/dev/null
passed "a second run on a used build folder stops with a message"

# Installing needs root, and says so.
# From a copy anyone may read: the checkout's own folder may be private.
public=$(mktemp -d)
chmod 755 "$public"
cp -r "$scripts" "$public/scripts"
chmod -R a+rX "$public"
setpriv --reuid=65534 --regid=65534 --clear-groups "${scripts_env[@]}" bash "$public/scripts/deps.sh" tavolin-no-such-package \
    >"$scratch/out" 2>&1 && fail "deps.sh installed as a normal user"
grep -q "needs root" "$scratch/out" || fail "deps.sh did not say it needs root: $(cat "$scratch/out")"
rm -rf "$public"
passed "installing as a normal user says that root is needed"

# The 32-bit environment takes the Debian archive's sources only, is not
# rebuilt while a run uses it, and debootstrap's mounts stay in a namespace.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
apt="$scratch/apt"
mkdir -p "$apt/sources.list.d" "$apt/lists"
printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" "$codename" >"$apt/sources.list.d/debian.sources"
echo "deb [signed-by=/usr/share/keyrings/example.gpg] http://apt.example.com/debian $codename main" >"$apt/sources.list.d/example.list"
for suite in "$codename" "$codename-updates"; do echo "Origin: Debian" >"$apt/lists/deb.debian.org_debian_dists_${suite}_InRelease"; done
echo "Origin: Example" >"$apt/lists/apt.example.com_debian_dists_${codename}_InRelease"
printf 'Dir::Etc::sourcelist "/dev/null";\nDir::Etc::sourceparts "%s/sources.list.d";\nDir::State::lists "%s/lists/";\n' \
    "$apt" "$apt" >"$apt/apt.conf"
rootfs_env=("${scripts_env[@]}" APT_CONFIG="$apt/apt.conf" TAVOLIN_ROOTFS32="$scratch/rootfs")
sources=$("${rootfs_env[@]}" bash "$scripts/rootfs32.sh" sources)
[ "$sources" = "$(printf 'http://deb.debian.org/debian %s main\nhttp://deb.debian.org/debian %s-updates main' "$codename" "$codename")" ] ||
    fail "the 32-bit environment's sources are not Debian's own: $sources"
mkdir -p "$scratch/rootfs"
echo "0 an older recipe" >"$scratch/rootfs/.tavolin-rootfs32"
coproc user { "${scripts_env[@]}" bash -c 'root=$1; . "$1/scripts/lock.sh"; tavolin_hold "$2.lock" -s && echo held; read -r _' \
    use "$(dirname "$scripts")" "$scratch/rootfs"; }
user_pid=$user_PID
read -r -t 20 answer <&"${user[0]}"
[ "$answer" = held ] || fail "no shared hold on the 32-bit environment"
: >"$calls"
"${rootfs_env[@]}" bash "$scripts/rootfs32.sh" >"$scratch/out" 2>&1 &
rebuild=$!
waits_for "$scratch/out" "waiting until no other run uses" || fail "the rebuild did not wait for the run using it"
[ -f "$scratch/rootfs/.tavolin-rootfs32" ] || fail "the 32-bit environment was removed while in use"
echo >&"${user[1]}"
wait "$user_pid" 2>/dev/null
wait "$rebuild" && fail "the rebuild went on past a failed debootstrap"
grep -q "^debootstrap " "$calls" || fail "no rebuild once the run let go: $(cat "$scratch/out")"
grep -q "^debootstrap $(readlink /proc/self/ns/mnt)\$" "$calls" && fail "debootstrap ran in the host's mount namespace"
passed "the 32-bit environment: Debian's sources, rebuilt only when unused, debootstrap in a namespace"

kill $server
exit $failed
