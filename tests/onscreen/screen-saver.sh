#!/bin/bash
# screen-saver.sh VORNELLE STATE_HELPER HOST_WINDOW CASE: the X server's own screen saver,
# and the display power saving that goes with it, keep their schedule while the program runs,
# full screen or in a daemon's window; a user who asks SDL to hold them off is heard, by the
# server and by the desktop's screen saver service on the session bus, which otherwise the
# program does not even connect to.
. "$(dirname "$0")/lib.sh"
stateHelper=$2
hostWindowHelper=$3
case=$4

serverSaver() { "$stateHelper" || fail "cannot query the server's screen saver"; }

serverSaverOn() { [ "$(serverSaver | cut -d' ' -f1)" = on ]; }

# A session bus of the test's own, every message on it written down.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || fail "no session bus"
helperPids+=("$(sed -n 2p <<<"$bus")")
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
dbus-monitor >"$workDir/bus" 2>&1 &
helperPids+=($!)
waitFor "the bus is watched" grep -q NameAcquired "$workDir/bus"

case $case in
full-screen) startSaverOnScreen ;;
host-window) startSaverInHostWindow "$hostWindowHelper" ;;
held-by-user) SDL_VIDEO_ALLOW_SCREENSAVER=0 startSaverOnScreen ;;
*) fail "no such case: $case" ;;
esac

# Only now that the program is up and drawing: the server's saver after 2 s without input.
xset s 2 0
xset s reset
if [ "$case" = held-by-user ]; then
    sleep 6
    state=$(serverSaver)
    [ "$state" = "off 0" ] || fail "the user's SDL_VIDEO_ALLOW_SCREENSAVER=0: saver is [$state]"
else
    waitFor "the server's screen saver turns on" serverSaverOn
    state=$(serverSaver)
fi
saverRunning || fail "the program ended while the screen saver turned on"
kill -TERM "$saverPid"
waitForExit 0
inhibits=$(grep -c 'interface=org.freedesktop.ScreenSaver; member=Inhibit' "$workDir/bus")
if [ "$case" = held-by-user ]; then
    [ "$inhibits" -gt 0 ] || fail "the desktop's screen saver service was not asked to hold off"
else
    ! grep -q 'member=Hello' "$workDir/bus" || fail "the program used the session bus"
fi
echo "PASS: $case: the server's screen saver is [$state] while the program runs"
