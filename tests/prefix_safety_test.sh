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

survives "$foreign" && survives "$scratch/home/.wine" && survives "$marked" || fail "a foreign prefix is gone"
passed "every foreign prefix survived"
exit $failed
