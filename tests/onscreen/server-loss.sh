#!/bin/bash
# server-loss.sh VORNELLE HOST_WINDOW MODE [ROUNDS]: the X server ends under a running program,
# as it does when a user logs out. The program must not outlive it: each time it must end soon
# after with status 1 and a report on standard error, whatever it was doing at that moment.
# Which of its connections finds the loss first is a race that one run cannot cover, so the
# server is ended ROUNDS times (12 unless given), each round on a fresh server of its own.
# MODE full-screen: one monitor filling the screen; two-monitors: two RandR monitors side by
# side; host-window: drawing in HOST_WINDOW's stand-in daemon window, named by --window-id.
. "$(dirname "$0")/lib.sh"
hostWindowHelper=$2
mode=$3
rounds=${4:-12}

if [ "$rounds" != round ]; then
    withXvfb=$(dirname "$0")/../../scripts/with-xvfb
    for round in $(seq "$rounds"); do
        "$withXvfb" "$0" "$binary" "$hostWindowHelper" "$mode" round "$round" ||
            fail "$mode: round $round of $rounds"
    done
    echo "PASS: $mode: the program ended with status 1 and a report each of $rounds times"
    exit 0
fi

# One round, on the server scripts/with-xvfb started for it. Whether SDL's shutdown, were it
# to run at exit, would wait on the lost server turned on details of the session as small as
# the session bus address that SDL is given (an address that leads nowhere, in both cases):
# odd rounds give the address of the recipe that found the fault, even ones with-xvfb's.
[ $(($5 % 2)) -eq 0 ] || export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
case $mode in
full-screen) startSaverOnScreen ;;
two-monitors)
    if ! xrandr --setmonitor LEFT 640/169x720/190+0+0 screen >/dev/null ||
        ! xrandr --setmonitor RIGHT 640/169x720/190+640+0 none >/dev/null; then
        fail "could not set two monitors"
    fi
    startSaverOnScreen
    ;;
host-window) startSaverInHostWindow "$hostWindowHelper" --window-id ;;
*) fail "no such mode: $mode" ;;
esac
# At some moment within a few frames, not always right after a screenshot.
sleep "0.$((RANDOM % 10))"
kill "$XVFB_PID"
waitForExit 1
grep -q "lost the connection to the X server" "$workDir/stderr" ||
    fail "no report of the lost server on standard error"
