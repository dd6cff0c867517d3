#!/bin/bash
# Started with /s, the program shows one window named "Vornelle" that covers the whole
# screen at the screen's own depth.
. "$(dirname "$0")/lib.sh"

startSaverOnScreen
window=$(saverWindow)

geometry()
{
    xwininfo "$@" | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /Width/ { w = $2 } /Height/ { h = $2 } /Depth/ { d = $2 }
        END { printf "%dx%d+%d+%d depth %d\n", w, h, x, y, d }'
}
screen=$(geometry -root)
shown=$(geometry -id "$window")
[ "$shown" = "$screen" ] || fail "the window is $shown on a screen of $screen"

name=$(xprop -id "$window" WM_NAME)
[ "$name" = 'WM_NAME(STRING) = "Vornelle"' ] || fail "the window's name is: $name"

windows=$(xdotool search --onlyvisible --name '^Vornelle$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows Vornelle windows are mapped"

xdotool key Escape
waitForExit 0
echo "PASS: one Vornelle window of $shown"
