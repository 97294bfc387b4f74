#!/bin/bash
# The main job: build what the run needs, make a Wine prefix with the virtual
# tuner card installed and inserted, and start the agent, which finds the
# card and starts the radio in a real window: on the user's display when
# there is one, otherwise in an X server of its own. Once the radio has
# opened the card it prints the card's state, the programs' process ids and
# how to go on (the X server it shows on, the window's title, the commands
# for the card, another screenshot and the end), and writes a screenshot of
# the window to the build folder.
# The agent, the radio, the card and the X server stay up; end them with:
# bash scripts/stop.sh
#
#   run.sh           the x86_64 build under the host's 64-bit Wine
#   run.sh --i686    the i686 build, the one that ships, under 32-bit Wine in
#                    the 32-bit environment (scripts/i686-env.sh)
#   run.sh [--i686] --sdr [HOST:PORT]
#                    the radio on the software receiver: without HOST:PORT on
#                    the test kit's generated band (rtl_tcp_band, started in
#                    the run's Wine on a free port), else on the rtl_tcp
#                    server there (a dongle's: rtl_tcp -a 0.0.0.0 -p 1234)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lock.sh"
tavolin_claim_build
. "$root/scripts/run-env.sh"
usage() { echo "usage: run.sh [--i686] [--sdr [HOST:PORT]]" >&2; exit 2; }
arch=x86_64
sdr=
while [ $# -gt 0 ]; do
    case "$1" in
        --i686) arch=i686 ;;
        --sdr)
            sdr=local
            # HOST:PORT, the host maybe an IPv6 address in brackets.
            if [ $# -gt 1 ] && [[ "$2" =~ ^[^-].*:[0-9]+$ ]]; then
                sdr=$2
                shift
            fi ;;
        *) usage ;;
    esac
    shift
done
if [ "$arch" = i686 ]; then
    tavolin_need_root "running the i686 build in the 32-bit environment" || exit 1
    . "$root/scripts/i686-env.sh"
    way=$(tavolin_i686_mode)
    tavolin_run_use i686 "$way"
else
    tavolin_run_use x86_64
fi
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" --run "$run_arch"
# Whatever ran before, in either build, goes first; a run that fails from
# here on is ended again.
bash "$root/scripts/stop.sh"
echo "$run_arch $run_way" >"$tavolin_run_mode_file"
trap 'bash "$root/scripts/stop.sh"' EXIT

# A display: the user's, or a virtual one of our own that stop.sh ends.
# Only programs given its cookie may use it; the 32-bit environment finds
# the cookie in the build folder.
cookies="$build/run-xauthority"
display=()
if [ "$run_way" = vm ]; then
    # The host's display is out of the VM's reach.
    own_display=1
    where="in the VM's own X server (process ids are the VM's)"
    tavolin_run_boot
else
    if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        export XAUTHORITY="$cookies"
        cookie=$(mcookie)
        : >"$XAUTHORITY"
        # The server reads every cookie in the file; the entry for its
        # number is added once known.
        xauth -q add :0 . "$cookie"
        . "$root/scripts/display.sh"
        tavolin_start_display -auth "$XAUTHORITY" || { tavolin_stop_display; exit 1; }
        echo "$tavolin_xvfb_pid" >"$build/run-xvfb.pid"
        xauth -q add "$DISPLAY" . "$cookie"
        own_display=1
        where="in a virtual X server of its own on $DISPLAY"
    else
        where="on display $DISPLAY"
        if [ "$run_way" = chroot ]; then
            : >"$cookies"
            xauth nextract - "$DISPLAY" 2>/dev/null | xauth -f "$cookies" nmerge - 2>/dev/null || true
            export XAUTHORITY="$cookies"
        fi
    fi
    display=(DISPLAY="$DISPLAY")
    [ -z "${XAUTHORITY:-}" ] || display+=(XAUTHORITY="$XAUTHORITY")
fi
# For scripts/screenshot.sh, which takes another one later.
printf '%s\n' "${display[@]}" >"$tavolin_run_display_file"

what="the $run_arch build under 64-bit Wine"
[ "$run_arch" = x86_64 ] || what="the $run_arch build under 32-bit Wine ($run_way)"
echo "starting the agent and the radio: $what, $where"
tavolin_run_in "${display[@]}" TAVOLIN_RUN_SDR="$sdr" bash "$root/scripts/run-radio.sh" start ${own_display:+unmanaged}
tavolin_run_screenshot
trap - EXIT

# How to reach what runs, and the commands as the user gives them, from the
# work tree.
if [ "$run_way" = vm ]; then
    echo "its X server: the VM's own, out of the host's reach (the screenshot shows it)"
else
    echo "its X server: ${display[*]}"
fi
echo "the radio's window: title \"Vantor\" (its class too)"
folder=
[ "$build" = "$root/build" ] || folder="TAVOLIN_BUILD_DIR=$build "
[ -z "$sdr" ] || echo "the radio plays from rtl_tcp (${sdr/#local/the generated band}); the agent still watches the card"
cat <<EOT
pull the card (the agent closes the radio):  ${folder}bash scripts/tunercard.sh pull
insert it (the agent starts the radio):      ${folder}bash scripts/tunercard.sh insert
the card's state, its log of requests:       ${folder}bash scripts/tunercard.sh state   (or log)
take another screenshot:                     ${folder}bash scripts/screenshot.sh
stop the radio, the agent, the card${own_display:+ and the X server}:  ${folder}bash scripts/stop.sh
EOT
