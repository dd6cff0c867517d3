#!/bin/bash
# A run frozen for 20 s goes on when it is resumed: the whole pause arrives as one step of
# the animation, which throws every metaball far away, and each must come back into its
# square so that contours appear on screen again.
. "$(dirname "$0")/lib.sh"

startSaverOnScreen
kill -STOP "$saverPid"
sleep 20
kill -CONT "$saverPid"

sleep 1
saverRunning || fail "the run ended after the pause"
waitFor "contours are drawn after the pause" screenHasContours "$workDir/resumed.png"
waitForAnimation
xdotool key Escape
waitForExit 0
echo "PASS: the run goes on after a 20 s pause"
