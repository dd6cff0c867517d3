#!/bin/bash
# start.sh VORNELLE [no-bus]: started with /s, the program shows one window named "Vornelle"
# that covers the whole screen at the screen's own depth. no-bus: in a session that names no
# session bus, where D-Bus would launch one for the display (dbus-x11), the run launches none.
. "$(dirname "$0")/lib.sh"
session=${2:-}

[ "$session" != no-bus ] || unset DBUS_SESSION_BUS_ADDRESS
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
# dbus-launch names this atom on the display for the bus it launches there.
if [ "$session" = no-bus ] && ! xprop -root _DBUS_SESSION_BUS_ADDRESS | grep -q 'no such atom'; then
    fail "a session bus was launched for the display"
fi
echo "PASS: one Vornelle window of $shown"
