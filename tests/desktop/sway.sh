#!/bin/bash
# sway.sh VORNELLE: Vornelle on Wayland, given nothing but WAYLAND_DISPLAY, under sway: it runs
# as a native full-screen window and draws, keeps running where the pointer rests, and pointer
# motion right or down, a click, Escape and SIGTERM each end a run with status 0; the recipe
# "swayidle -w timeout SECONDS 'vornelle /s'" starts it once the seat is idle. sway draws into
# a window on the private X server named by DISPLAY, which stands in for a monitor, a mouse
# and a keyboard (xdotool drives them); its headless backend has no input devices. sway
# refuses to run as root, so as root the session runs as the user nobody. Exits 77 (skipped)
# when sway, swayidle or grim is missing. With RECIPE_SHOTS set to a directory, leaves the
# screenshot there as sway.png.
set -u
binary=$1
work=$(mktemp -d)
chmod 755 "$work"
swayPid=""
saverPid=""
trap 'kill $saverPid $swayPid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: sway: $*"
    [ -s "$work/saver.log" ] && echo "--- vornelle: $(cat "$work/saver.log")"
    exit 1
}

for tool in sway swayidle swaymsg grim; do
    command -v "$tool" >/dev/null || { echo "SKIP: sway: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/within.sh"

# The session's user, with a home and a runtime directory of its own.
asUser=()
if [ "$(id -u)" -eq 0 ]; then
    asUser=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
mkdir -m 700 "$work/home" "$work/runtime"
mkdir "$work/bin"
cp "$binary" "$work/bin/vornelle"
chmod 755 "$work/bin/vornelle"
printf '%s\n' 'output * bg #000000 solid_color' >"$work/config"
chmod 644 "$work/config"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$work/home" "$work/runtime"

# inSession [NAME=VALUE...] COMMAND...: runs COMMAND as the session's user, with only what a
# Wayland client of this session has in its environment and the settings given; execs, so
# that $! of "(inSession ...) &" is the command itself.
inSession() {
    local session=(PATH="$work/bin:/usr/bin:/bin" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime")
    [ -n "${ipc:-}" ] && session+=(WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc")
    # A sanitized build keeps the settings its test run chose.
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -n "${!name:-}" ] && session+=("$name=${!name}")
    done
    exec "${asUser[@]}" env -i "${session[@]}" "$@"
}

# Its output is a window on the X server, drawn with a software renderer.
(inSession WLR_BACKENDS=x11 DISPLAY="$DISPLAY" WLR_RENDERER=pixman \
    sway -c "$work/config") >"$work/sway.log" 2>&1 &
swayPid=$!
socketFound() {
    socket=$(find "$work/runtime" -maxdepth 1 -name 'wayland-[0-9]*' ! -name '*.lock' \
        -printf '%f\n' | head -n1)
    ipc=$(find "$work/runtime" -maxdepth 1 -name 'sway-ipc.*.sock' | head -n1)
    [ -n "$socket" ] && [ -n "$ipc" ] && (inSession swaymsg -t get_version) >/dev/null 2>&1
}
within 300 socketFound || fail "sway did not start: $(tail -n 5 "$work/sway.log")"
sway() { (inSession swaymsg "$@"); }

fullScreenVornelle() {
    sway -t get_tree | tr -d ' \n' | grep -q '"fullscreen_mode":1,[^{}]*"app_id":"vornelle"'
}

noFullScreenVornelle() { ! fullScreenVornelle; }

saverEnded() { ! kill -0 "$saverPid" 2>/dev/null; }

litLikeContours() {
    (inSession grim "$work/home/shot.png") 2>/dev/null || return 1
    lit=$(convert "$work/home/shot.png" -fill white +opaque black -colorspace Gray \
        -format '%[fx:mean]' info:)
    awk -v lit="$lit" 'BEGIN { exit !(lit > 0.0005 && lit < 0.2) }'
}

# Starts a run with the pointer resting away from the output's corner, as a person leaves it,
# and checks that the run does not take the pointer's first sighting for motion.
startSaver() {
    xdotool mousemove 640 360
    (inSession vornelle /s) >"$work/saver.log" 2>&1 &
    saverPid=$!
    within 600 fullScreenVornelle || fail "no full-screen Vornelle window"
    sleep 1
    kill -0 "$saverPid" 2>/dev/null || fail "the run ended by itself as it began"
}

# endsRun WHAT: after WHAT was done, the run ends with status 0 and nothing on stderr.
endsRun() {
    local status=0
    within 100 saverEnded || fail "$1 did not end the run"
    wait "$saverPid" || status=$?
    saverPid=""
    [ "$status" = 0 ] || fail "$1: status $status"
    [ -s "$work/saver.log" ] && fail "$1: it wrote to stderr"
    echo "sway: $1 ends the run"
}

# Native, full screen, drawing; then each way a person ends it.
startSaver
within 100 litLikeContours || fail "expected thin contours on black, $lit of the output is lit"
[ -n "${RECIPE_SHOTS:-}" ] && cp "$work/home/shot.png" "$RECIPE_SHOTS/sway.png"
echo "sway: full screen, contours drawn (lit $lit)"
xdotool mousemove_relative 5 5
endsRun "pointer motion"
startSaver
xdotool mousedown 1 sleep 0.2 mouseup 1
endsRun "a click"
startSaver
xdotool key Escape
endsRun "Escape"
startSaver
kill -TERM "$saverPid"
endsRun "SIGTERM"

# runIdle SWAYIDLE_ARGUMENT...: swayidle starts vornelle once the seat is idle; with a later
# timeout given, that fires while it runs (the program holds off no idleness); motion ends it.
runIdle() {
    rm -f "$work/home/idle-later"
    (inSession swayidle "$@") >"$work/swayidle.log" 2>&1 &
    idlePid=$!
    within 600 fullScreenVornelle ||
        fail "swayidle $*: vornelle did not start: $(cat "$work/swayidle.log")"
    # Motion sent with the pointer's first sighting is taken with it for that sighting.
    sleep 1
    fullScreenVornelle || fail "swayidle $*: the run ended by itself as it began"
    if [[ "$*" == *idle-later* ]]; then
        within 100 test -e "$work/home/idle-later" || fail "swayidle $*: the later timeout waits"
        fullScreenVornelle || fail "swayidle $*: the run ended by itself"
    fi
    xdotool mousemove_relative 5 5
    within 100 noFullScreenVornelle || fail "swayidle $*: the run did not end on motion"
    kill "$idlePid"
    wait "$idlePid" 2>/dev/null
    echo "sway: swayidle $* starts it"
}

# The recipe, with 2 idle seconds standing in for 300; then without -w, which would hold
# swayidle's later timeouts (switching outputs off, say) until the run ends.
runIdle -w timeout 2 'vornelle /s'
# shellcheck disable=SC2016 # expanded by the shell swayidle starts
runIdle timeout 2 'vornelle /s' timeout 4 'touch "$HOME/idle-later"'
echo "sway: passed"
