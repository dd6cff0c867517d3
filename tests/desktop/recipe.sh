#!/bin/bash
# recipe.sh LAUNCHER VORNELLE [PACKAGE_ROOT]: tries the documented command line of one idle
# launcher (xautolock, xss-lock or xscreensaver) on the current X display, or mate-screensaver
# with the Debian package unpacked in PACKAGE_ROOT: the launcher starts "vornelle /s", contours
# appear, and the user coming back ends it. Exits 77 (skipped) when the launcher is not
# installed or cannot run here. With RECIPE_SHOTS set to a directory, leaves the screenshot
# there as LAUNCHER.png.
set -u
launcher=$1
binary=$2
packageRoot=${3:-}
work=$(mktemp -d)
chmod 755 "$work"
launcherPid=""
launcherSignal=TERM
trap 'kill -$launcherSignal $launcherPid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $launcher: $*"
    exit 1
}

skip() {
    echo "SKIP: $launcher: $*"
    exit 77
}

# The recipes name the program as installed, "vornelle", so it must be found on PATH; a copy
# in a world-readable place also serves a launcher that cannot run as root.
mkdir "$work/bin" && cp "$binary" "$work/bin/vornelle" && chmod 755 "$work/bin/vornelle"
export PATH="$work/bin:$PATH"

. "$(dirname "$0")/within.sh"

# Our own copy only: other runs of vornelle may share this machine.
ourSaver() { [ "$(readlink "/proc/$1/exe")" = "$work/bin/vornelle" ]; }

saverPid() {
    local pid
    for pid in $(pgrep -u "$runAs" -x vornelle); do
        ourSaver "$pid" && echo "$pid" && return
    done
}

saverRuns() {
    [ -n "$(saverPid)" ]
}

saverGone() {
    ! saverRuns
}

litLikeContours() {
    awk -v lit="$lit" 'BEGIN { exit !(lit > 0.0005 && lit < 0.2) }'
}

# The first frame can take a while on a busy machine: look up to ten times.
lookAtScreen() {
    local shot=$work/shot.png
    for _ in $(seq 10); do
        sleep 1
        xwd -root -silent | convert xwd:- "$shot" || fail "no screenshot"
        lit=$(convert "$shot" -fill white +opaque black -colorspace Gray -format '%[fx:mean]' info:)
        litLikeContours && break
    done
    [ -n "${RECIPE_SHOTS:-}" ] && cp "$shot" "$RECIPE_SHOTS/$launcher.png"
    litLikeContours || fail "expected thin contours on black, $lit of the screen is lit"
}

userComesBack() {
    xdotool mousemove_relative 5 5
    within 100 saverGone || fail "vornelle still runs after the mouse moved"
}

# Who runs the launcher, and so vornelle.
runAs=$(id -un)
asUser() { "$@"; }

tryXautolock() {
    command -v xautolock >/dev/null || skip "xautolock is not installed"
    xautolock -time 5 -locker 'vornelle /s' 2>"$work/launcher.log" &
    launcherPid=$!
    # -locknow asks the running xautolock to lock at once, as five idle minutes would. Sent
    # while it is still starting up, the request can be lost: ask again until it is heard.
    for _ in $(seq 10); do
        xautolock -locknow 2>/dev/null && within 30 saverRuns && break
        sleep 0.5
    done
    saverRuns || fail "xautolock did not start vornelle: $(cat "$work/launcher.log")"
}

tryXssLock() {
    command -v xss-lock >/dev/null || skip "xss-lock is not installed"
    command -v xset >/dev/null || skip "xset (x11-xserver-utils) is not installed"
    xss-lock -- vornelle /s 2>"$work/launcher.log" &
    launcherPid=$!
    disown "$launcherPid" # without logind it may abort: no job report for that
    sleep 1
    # The X server's own screensaver turning on is what xss-lock waits for.
    xset s activate
    if ! within 100 saverRuns; then
        grep -q "login manager" "$work/launcher.log" &&
            skip "xss-lock needs a systemd-logind session, and there is none here"
        fail "xss-lock did not start vornelle: $(cat "$work/launcher.log")"
    fi
}

tryXscreensaver() {
    command -v xscreensaver >/dev/null || skip "xscreensaver is not installed"
    local home=$work/home
    mkdir "$home"
    # It refuses to run screensavers as root.
    if [ "$(id -u)" -eq 0 ]; then
        runAs=nobody
        asUser() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
        chown nobody:nogroup "$home"
    fi
    printf '%s\n' 'mode: one' 'selected: 0' 'lock: False' 'splash: False' \
        'programs: vornelle /s \n\' '' >"$home/.xscreensaver"
    export HOME=$home
    asUser xscreensaver -no-splash -verbose >"$work/launcher.log" 2>&1 &
    launcherPid=$!
    within 100 asUser xscreensaver-command -version >/dev/null 2>&1 ||
        fail "the xscreensaver daemon did not start"
    asUser xscreensaver-command -activate >/dev/null 2>&1
    within 200 saverRuns || fail "xscreensaver did not start vornelle: $(tail "$work/launcher.log")"
    local window
    window=$(tr '\0' '\n' <"/proc/$(saverPid)/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
    [ -n "$window" ] || fail "xscreensaver named no window"
    xdotool search --name '^Vornelle$' >/dev/null && fail "vornelle opened a window of its own"
    # The daemon ends the run, and it takes less than ten pixels of motion in a second for a
    # bumped desk (its pointerHysteresis): move as a hand does.
    userComesBack() {
        xdotool mousemove_relative 40 30
        within 100 saverGone || fail "vornelle still runs after the mouse moved"
    }
}

tryMateScreensaver() {
    command -v mate-screensaver >/dev/null || skip "mate-screensaver is not installed"
    [ -x "$packageRoot/usr/bin/vornelle" ] || fail "no unpacked package in [$packageRoot]"
    [ "$(id -u)" -eq 0 ] || skip "laying the package over /usr needs root"
    mkdir "$work/home" && mkdir -m 700 "$work/runtime"
    export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
    export XDG_CURRENT_DESKTOP=MATE
    unshare --mount --propagation private --pid --fork --kill-child \
        "$(dirname "$0")/mate-session.sh" "$packageRoot" >"$work/launcher.log" 2>&1 </dev/null &
    launcherPid=$!
    launcherSignal=KILL # unshare ignores SIGTERM; killed, it takes its namespaces down
    # The package's program, in the launcher's namespace once it has one of its own.
    ourSaver() {
        local namespace
        namespace=$(readlink "/proc/$1/ns/mnt")
        [ "$namespace" = "$(readlink "/proc/$launcherPid/ns/mnt")" ] &&
            [ "$namespace" != "$(readlink "/proc/$$/ns/mnt")" ]
    }
    within 300 saverRuns ||
        fail "mate-screensaver did not start vornelle: $(grep -iE 'theme|job' "$work/launcher.log")"
    grep -qF "Setting command for job: '/usr/libexec/xscreensaver/vornelle /s'" \
        "$work/launcher.log" || fail "mate-screensaver ran vornelle, but not from its theme file"
    # Its window takes the first motion as where the pointer is, and ignores motion of less
    # than a tenth of the screen's width.
    userComesBack() {
        xdotool mousemove_relative 5 5 sleep 0.5 mousemove_relative 300 200
        within 100 saverGone || fail "vornelle still runs after the mouse moved"
    }
}

case "$launcher" in
xautolock) tryXautolock ;;
xss-lock) tryXssLock ;;
xscreensaver) tryXscreensaver ;;
mate-screensaver) tryMateScreensaver ;;
*) fail "unknown launcher" ;;
esac

lookAtScreen
userComesBack
grep -E "X Error|SDL ERROR" "$work/launcher.log" && fail "vornelle reported an error"
if [ "$launcher" = xss-lock ] && ! kill -0 "$launcherPid" 2>/dev/null; then
    # Seen on Xvfb without logind: it starts the locker, then fails its own assertion.
    echo "note: xss-lock itself ended after starting vornelle (no systemd-logind session?)"
fi
echo "$launcher: passed (lit $lit)"
