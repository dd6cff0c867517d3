#!/bin/bash
# hack_mode.sh VORNELLE HOST_WINDOW: Vornelle inside a window that a stand-in daemon made.
# It draws there and nowhere else, follows the window's size, ignores the mouse and keys, and
# ends with status 0 on SIGTERM or when the window goes away; a malformed or unknown window id,
# or one of a window that shows nothing, is an error.
set -u
binary=$1
hostWindow=$2
work=$(mktemp -d)
hostPid=""
saverPid=""
trap 'kill $saverPid $hostPid 2>/dev/null; rm -rf "$work"' EXIT
failures=0
geometry=320x240+200+150
region="200,150 519,389" # the window's pixels, corner to corner

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# openHostWindow [--input-only]: sets window to the new window's id.
openHostWindow() {
    rm -f "$work/id" # the last window's id must not pass for this one's
    "$hostWindow" "$@" "$geometry" >"$work/id" &
    hostPid=$!
    for _ in $(seq 100); do
        [ -s "$work/id" ] && break
        sleep 0.1
    done
    window=$(cat "$work/id")
    [ -n "$window" ] || { echo "FAIL: the host window did not appear"; exit 1; }
}

# Waits up to five seconds for the saver to end; sets status to its status, or "running".
waitForEnd() {
    for _ in $(seq 50); do
        kill -0 "$saverPid" 2>/dev/null || break
        sleep 0.1
    done
    status=running
    kill -0 "$saverPid" 2>/dev/null && return
    wait "$saverPid"
    status=$?
}

stillRunning() {
    sleep 1
    kill -0 "$saverPid" 2>/dev/null
}

screenshot() {
    xwd -root -silent | convert xwd:- "$1"
}

# litShare PICTURE GEOMETRY: the share of that part of the picture that is not black.
litShare() {
    convert "$1" -crop "$2" +repage -fill white +opaque black -colorspace Gray \
        -format '%[fx:mean]' info:
}

# Share of the window that is lit, strongest saturation there, and how many pixels outside
# it changed since the "before" picture.
lookAtPictures() {
    lit=$(litShare "$work/after.png" "$geometry")
    saturation=$(convert "$work/after.png" -crop "${geometry}" +repage -colorspace HSL \
        -channel G -separate -format '%[fx:maxima]' info:)
    changedOutside=$(convert "$work/before.png" "$work/after.png" -compose difference \
        -composite -fill black -draw "rectangle $region" -fill white +opaque black \
        -colorspace Gray -format '%[fx:mean*w*h]' info:)
}

# --- XSCREENSAVER_WINDOW: draws inside, nothing outside; the mouse and keys are ignored;
# SIGTERM ends it with 0.
openHostWindow
# checkDrawsInWindowOnly WHEN: thin coloured contours inside the window, nothing outside.
checkDrawsInWindowOnly() {
    # The drifting outline may miss so small a window for a moment: look up to ten times.
    for _ in $(seq 10); do
        sleep 1
        screenshot "$work/after.png"
        lookAtPictures
        [ "$changedOutside" = 0 ] || break
        awk -v lit="$lit" -v s="$saturation" 'BEGIN { exit !(lit > 0.0005 && s > 0.3) }' && break
    done
    awk -v lit="$lit" 'BEGIN { exit !(lit > 0.0005 && lit < 0.3) }' ||
        fail "$1: expected thin contours inside the window, $lit of it is lit"
    awk -v s="$saturation" 'BEGIN { exit !(s > 0.3) }' ||
        fail "$1: expected coloured contours, strongest saturation $saturation"
    [ "$changedOutside" = 0 ] || fail "$1: $changedOutside pixels outside the window changed"
}

screenshot "$work/before.png"
XSCREENSAVER_WINDOW=$window "$binary" /s 2>"$work/stderr" &
saverPid=$!
checkDrawsInWindowOnly "at start"
xdotool search --name '^Vornelle$' >/dev/null && fail "it opened a window of its own"

xdotool mousemove 360 270 sleep 0.2 mousemove_relative 40 40 sleep 0.2 \
    mousemove_relative 5 5 click 1 click 3 key Escape key q
stillRunning || fail "mouse motion, clicks or keys over the window ended the run"

# --- The daemon resizes its window, and the picture follows. Grown to 800x600, contours
# appear right of the first 320x240, wherever a picture stuck at the old size would sit (the
# window's top or bottom corner), beyond a margin for lines that spill over its edge. Shrunk
# back, it draws inside the window again and nowhere outside.
xdotool windowsize "$window" 800 600
beyondFirstSize=460x600+540+150 # the grown window right of its x = 340
for _ in $(seq 10); do
    sleep 1
    screenshot "$work/grown.png"
    grownLit=$(litShare "$work/grown.png" "$beyondFirstSize")
    awk -v lit="$grownLit" 'BEGIN { exit !(lit > 0.0005) }' && break
done
awk -v lit="$grownLit" 'BEGIN { exit !(lit > 0.0005 && lit < 0.3) }' ||
    fail "grown to 800x600: expected contours right of the first 320x240, $grownLit is lit"
xdotool windowsize "$window" 320 240
checkDrawsInWindowOnly "shrunk back to 320x240"
kill -TERM "$saverPid"
waitForEnd
[ "$status" = 0 ] || fail "SIGTERM: expected status 0, got $status"
[ -s "$work/stderr" ] && fail "SIGTERM: stderr [$(cat "$work/stderr")]"

# --- --window-id wins over a malformed XSCREENSAVER_WINDOW. The daemon resizes its window
# 200 times in a row, as when it follows a screen through many modes, then destroys it: the run
# ends with 0 and nothing on standard error, neither X's report nor a sanitizer's. Teardown
# after such a storm went wrong inside the GL in about a third of the runs: three rounds.
resizeStorm() {
    local storm=()
    for _ in $(seq 200); do
        storm+=(windowsize "$window" $((RANDOM % 1200 + 1)) $((RANDOM % 700 + 1)) sleep 0.02)
    done
    xdotool "${storm[@]}"
}
for round in 1 2 3; do
    [ "$round" = 1 ] || openHostWindow
    XSCREENSAVER_WINDOW=banana "$binary" /s --window-id "$window" 2>"$work/stderr" &
    saverPid=$!
    stillRunning || fail "--window-id: ended at once [$(cat "$work/stderr")]"
    resizeStorm
    kill "$hostPid"
    wait "$hostPid" 2>/dev/null
    waitForEnd
    [ "$status" = 0 ] || fail "window destroyed after a storm: expected status 0, got $status"
    [ -s "$work/stderr" ] && fail "window destroyed after a storm: stderr [$(cat "$work/stderr")]"
done

# --- A daemon may take its window away while Vornelle is still setting up in it, as a settings
# dialog does when the user runs down its list. Taken before Vornelle has looked, the id names
# no window (255, as for any unknown id); from then on the run simply ends with 0. Never X's
# own error report and status 1.
for delay in 0.03 0.05 0.07 0.09 0.12 0.15 0.2 0.3; do
    openHostWindow
    "$binary" /s --window-id "$window" 2>"$work/stderr" &
    saverPid=$!
    sleep "$delay"
    kill "$hostPid"
    wait "$hostPid" 2>/dev/null
    waitForEnd
    case "$status:$(cat "$work/stderr")" in
    "0:" | "255:SDL ERROR:"$'\n'"Unable to find window $window") ;;
    *) fail "window destroyed after ${delay}s: status $status, stderr [$(cat "$work/stderr")]" ;;
    esac
done

# --- Ids that name no window, or one that cannot show anything.
expectError() {
    local what=$1 expected=$2
    shift 2
    local stderr status
    stderr=$(timeout 20 "$@" 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 255 ] || fail "$what: expected status 255, got $status"
    [ "$stderr" = "$expected" ] || fail "$what: stderr [$stderr]"
}
malformed='is not a window id (expected a number such as 0x2a00007)'
expectError "--window-id banana" "vornelle: --window-id \"banana\" $malformed" \
    "$binary" /s --window-id banana
expectError "--window-id without id" "vornelle: --window-id \"\" $malformed" \
    "$binary" /s --window-id
expectError "XSCREENSAVER_WINDOW=banana" "vornelle: XSCREENSAVER_WINDOW \"banana\" $malformed" \
    env XSCREENSAVER_WINDOW=banana "$binary" /s
expectError "a window that is gone" "$(printf 'SDL ERROR:\nUnable to find window %s' "$window")" \
    "$binary" /s --window-id "$window"
openHostWindow --input-only
expectError "an input-only window" \
    "$(printf 'SDL ERROR:\nUnable to draw into window %s: it is input-only' "$window")" \
    "$binary" /s --window-id "$window"

[ "$failures" -eq 0 ] &&
    echo "hack mode: all passed (lit $lit, saturation $saturation, grown $grownLit)"
exit "$failures"
