#!/bin/bash
# exit-rule.sh VORNELLE CASE: one person's action on a fresh run, and whether it ends the
# run. Actions that must not end it are followed by a check that the picture still moves.
. "$(dirname "$0")/lib.sh"
case=$2

# A person's click holds the button for a moment; a touchpad's tap sends the press and the
# release back to back (tap), both often between two frames.
click() { xdotool mousedown "$1" sleep 0.2 mouseup "$1"; }

# A steady 200 pixels a second to the right, one pixel at a time: a hand's slow but deliberate
# move, which ends the run at any frame rate. On a loaded machine the steps may come too slowly
# to count; the move is made again, up to five times, until the run ends.
moveSlowlyRight()
{
    local steps=()
    for _ in $(seq 200); do steps+=(mousemove_relative 1 0 sleep 0.005); done
    for _ in 1 2 3 4 5; do
        xdotool "${steps[@]}"
        sleep 0.5
        saverRunning || return 0
    done
}

endsRun()
{
    waitForExit 0
    echo "PASS: $case ends the run"
}

keepsRunning()
{
    sleep 1
    saverRunning || fail "$case ended the run"
    waitForAnimation
    xdotool key Escape
    waitForExit 0
    echo "PASS: $case leaves the run going"
}

# The system asks the program to quit: SIGTERM, which SDL turns into a quit request, or
# where the program runs on another system the command VORNELLE_QUIT_REQUEST names (Windows
# has no such signal; its close message does the same).
askToQuit()
{
    if [ -n "${VORNELLE_QUIT_REQUEST:-}" ]; then
        $VORNELLE_QUIT_REQUEST >/dev/null
    else
        kill -TERM "$saverPid"
    fi
}

startSaverOnScreen
case $case in
move-right-down) xdotool mousemove_relative -- 5 5 && endsRun ;;
move-left-up) xdotool mousemove_relative -- -5 -5 && keepsRunning ;;
move-one-pixel) xdotool mousemove_relative -- 1 1 && keepsRunning ;;
move-right-slowly) moveSlowlyRight && endsRun ;;
left-click) click 1 && endsRun ;;
middle-click) click 2 && endsRun ;;
right-click) click 3 && endsRun ;;
tap) xdotool click 1 && endsRun ;;
wheel-step) xdotool click 4 && keepsRunning ;;
escape) xdotool key Escape && endsRun ;;
other-key) xdotool key a && keepsRunning ;;
terminate) askToQuit && endsRun ;;
*) fail "no such case: $case" ;;
esac
