# shellcheck shell=bash
# Sourced by the on-screen tests: they start the real program on the X server named by
# DISPLAY, act on it through the server as a person would, and read back what the server
# shows. The sourcing script is given the program's path as $1.
# Every wait polls for a condition until a generous deadline: machines are shared and slow
# ones must not fail a test, so nothing here asserts on a duration.
set -u

binary=$1
workDir=$(mktemp -d)
saverPid=""
watcherPid=""
helperPids=() # other programs a test started, stopped when it ends
watchStart=0
deadlineSeconds=${VORNELLE_TEST_DEADLINE:-60}

# A login session always has a private runtime directory; without one the Wayland client
# library that SDL tries complains on standard error before SDL moves on. Only the X server
# under test is offered, and the program runs full screen, not in a daemon's window.
export XDG_RUNTIME_DIR=$workDir/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XSCREENSAVER_WINDOW

# Asks the program to quit as a window system would; one too busy to hear is killed.
stopSaver()
{
    [ -n "$saverPid" ] || return 0
    kill "$saverPid" 2>/dev/null
    for _ in $(seq 100); do
        saverRunning || break
        sleep 0.1
    done
    kill -KILL "$saverPid" 2>/dev/null
    wait "$saverPid" 2>/dev/null
    saverPid=""
}
cleanUp()
{
    stopSaver
    [ -z "$watcherPid" ] || kill "$watcherPid" 2>/dev/null
    local pid
    for pid in "${helperPids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$workDir"
}
trap cleanUp EXIT

fail()
{
    echo "FAIL: $*" >&2
    if [ -s "$workDir/stderr" ]; then
        echo "--- the program's standard error:" >&2
        cat "$workDir/stderr" >&2
    fi
    exit 1
}

# waitFor DESCRIPTION COMMAND...: polls COMMAND until it succeeds, or fails the test.
waitFor()
{
    local description=$1
    shift
    local tries=$((deadlineSeconds * 10)) giveUp=$((SECONDS + deadlineSeconds))
    while ! "$@"; do
        tries=$((tries - 1))
        # A check that takes long itself counts its own time, not only the pauses.
        if [ "$tries" -le 0 ] || [ "$SECONDS" -ge "$giveUp" ]; then
            fail "gave up waiting: $description"
        fi
        sleep 0.1
    done
}

# startSaver [ARG...]: starts the program (with /s unless arguments are given) in the
# background, its standard error kept for the checks.
startSaver()
{
    [ $# -gt 0 ] || set -- /s
    "$binary" "$@" 2>"$workDir/stderr" &
    saverPid=$!
}

# A zombie still answers kill -0, so read the process state itself.
saverRunning()
{
    local state
    state=$(awk '{print $3}' "/proc/$saverPid/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

saverEnded() { ! saverRunning; }

# The id of the program's mapped window, or nothing.
saverWindow() { xdotool search --onlyvisible --name '^Vornelle$' 2>/dev/null | head -n1; }

saverWindowMapped() { [ -n "$(saverWindow)" ]; }

# Starts the program and waits until its window is on the screen and a few frames are drawn.
startSaverOnScreen()
{
    startSaver /s
    waitFor "the Vornelle window is mapped" saverWindowMapped
    waitFor "the first contour is drawn" screenHasContours "$workDir/first.png"
}

# startSaverInHostWindow HELPER [--window-id]: starts the program in a window that HELPER (the
# host-window stand-in for a daemon) makes, named in XSCREENSAVER_WINDOW or, with --window-id,
# on the command line, and waits until it draws there.
startSaverInHostWindow()
{
    "$1" >"$workDir/id" &
    helperPids+=($!)
    waitFor "the host window appears" test -s "$workDir/id"
    if [ "${2:-}" = --window-id ]; then
        startSaver /s --window-id "$(cat "$workDir/id")"
    else
        XSCREENSAVER_WINDOW=$(cat "$workDir/id") startSaver /s
    fi
    waitFor "the first contour is drawn in the host window" screenHasContours "$workDir/first.png"
}

# waitForExit EXPECTED_STATUS: waits until the program has ended and checks its status.
waitForExit()
{
    local expected=$1 status=0
    waitFor "the program ends" saverEnded
    wait "$saverPid" || status=$?
    saverPid=""
    [ "$status" -eq "$expected" ] || fail "exit status $status, expected $expected"
}

screenshot() { xwd -root -silent | convert xwd:- "$1"; }

# pixelCensus PICTURE: prints "total black lit tinted white" pixel counts. Lit pixels are
# the non-black ones; tinted ones have channels at least an eighth of the range apart;
# white ones have every channel near full.
pixelCensus()
{
    convert "$1" -depth 8 -format %c histogram:info:- | awk '
    {
        count = $1; sub(":", "", count); gsub(/[(),]/, " ")
        r = $2; g = $3; b = $4
        total += count
        if (r + g + b == 0) { black += count; next }
        lit += count
        high = r; if (g > high) high = g; if (b > high) high = b
        low = r; if (g < low) low = g; if (b < low) low = b
        if (high - low >= 32) tinted += count
        if (low >= 230) white += count
    }
    END { printf "%d %d %d %d %d\n", total, black, lit, tinted, white }'
}

# screenHasContours PICTURE: takes a screenshot into PICTURE; true when it shows contour
# pixels on a mostly black screen.
screenHasContours()
{
    local total black lit
    screenshot "$1" || return 1
    read -r total black lit _ < <(pixelCensus "$1")
    [ "$lit" -gt 100 ] && [ "$black" -ge $((total * 8 / 10)) ]
}

# True when the two pictures differ in at least one pixel.
picturesDiffer()
{
    local different
    different=$(compare -metric AE "$1" "$2" null: 2>&1) || true
    [ "${different%% *}" != 0 ]
}

# The animation runs: two screenshots half a second apart differ.
waitForAnimation()
{
    for _ in 1 2 3 4 5; do
        screenshot "$workDir/before.png"
        sleep 0.5
        screenshot "$workDir/after.png"
        picturesDiffer "$workDir/before.png" "$workDir/after.png" && return 0
    done
    fail "five pairs of screenshots half a second apart showed the same picture"
}

# Watches the whole screen for windows being shown, from now until windowsShownSinceWatch.
# Throwaway windows, one at a time, until the watch reports one shown, prove it is listening.
# Only shown windows count: a window system may make hidden windows of its own for a program
# (Wine does, for every program that starts its window system driver).
watchForWindows()
{
    xev -root -event substructure >"$workDir/windows.log" 2>/dev/null &
    watcherPid=$!
    local canaryPid
    for _ in $(seq "$deadlineSeconds"); do
        xev -name vornelle-test-canary >/dev/null 2>&1 &
        canaryPid=$!
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            windowShownLogged && break
            sleep 0.1
        done
        kill "$canaryPid"
        wait "$canaryPid" 2>/dev/null
        if windowShownLogged; then
            watchStart=$(wc -l <"$workDir/windows.log")
            return 0
        fi
    done
    fail "the window watch never saw a window"
}

windowShownLogged() { grep -q '^MapNotify' "$workDir/windows.log"; }

# How many windows were shown since watchForWindows, not counting its own throwaway one.
windowsShownSinceWatch()
{
    kill "$watcherPid"
    wait "$watcherPid" 2>/dev/null
    watcherPid=""
    tail -n "+$((watchStart + 1))" "$workDir/windows.log" | grep -c '^MapNotify'
}

# sideBySideMonitors WIDTH HEIGHT: RandR monitors LEFT at +0+0 and RIGHT just right of it, each
# WIDTH x HEIGHT pixels (at about 96 dots per inch), on any server with RandR 1.5, Xvfb included.
sideBySideMonitors()
{
    local w=$1 h=$2 size
    size="$1/$((w * 265 / 1000))x$h/$((h * 265 / 1000))"
    xrandr --setmonitor LEFT "$size+0+0" screen >/dev/null &&
        xrandr --setmonitor RIGHT "$size+$w+0" none >/dev/null ||
        fail "could not set two monitors of ${w}x$h side by side"
}
