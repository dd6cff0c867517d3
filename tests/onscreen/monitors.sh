#!/bin/bash
# monitors.sh VORNELLE LAYOUT CHECK [WINDOW_MANAGER]: the program on a desktop shown on several
# monitors laid out as LAYOUT says, under WINDOW_MANAGER (started here) when one is named.
# What a person must see: every monitor shows the whole picture, the same frame, stretched to
# that monitor's own shape; whatever lies outside every monitor stays black.
# CHECK exits: four runs, ended by motion over the last monitor, a click on the first, and
#   Escape while another window has the focus, also once the window was hidden and shown again
#   (where the program holds the keyboard; with VORNELLE_HOLDS_KEYBOARD=no, three runs, the
#   last ended by Escape with its own window in front); each must end with status 0. The
#   desktop is painted a colour first, so that a monitor left uncovered shows.
# CHECK changes: monitors removed, added and resized while a run goes on, and the root growing
#   or shrinking with them, beyond its size at the start too: each change is followed.
# Layouts: single leaves the server's one monitor; side-by-side and stacked set RandR monitors
# on any server (an Xvfb of 2560x720 and of 1600x1200); outputs and stacked-outputs turn on
# two outputs of Xorg's dummy driver (scripts/with-xorg-dummy), 1280x720 and 1024x768 to its
# right or below it; left-outputs puts the 1024x768 one left of the 1280x720 one, which stays
# the primary (so on Windows the desktop starts left of 0); xinerama takes the dummy driver's
# screens as Xinerama joins them; none turns the server's one output off, so that RandR names
# no monitor at all, as on a headless server.
. "$(dirname "$0")/lib.sh"
layout=$2
check=$3
windowManager=${4:-}
skipped=77

# A person's click holds the button for a moment (the program looks once per frame).
click() { xdotool mousedown "$1" sleep 0.2 mouseup "$1"; }

setMonitor() { xrandr --setmonitor "$@" >/dev/null || fail "xrandr --setmonitor $*"; }

makeLayout()
{
    case $layout in
    single) ;; # the server's one monitor, filling the screen
    xinerama) ;; # the server's screens, joined (scripts/with-xorg-dummy)
    none)
        # The server refuses to shrink the screen to nothing, but the output goes off.
        xrandr --output screen --off 2>/dev/null
        xrandr --listmonitors | grep -qx 'Monitors: 0' || fail "the output stays on"
        ;;
    side-by-side) sideBySideMonitors 1280 720 ;;
    stacked)
        setMonitor TOP 1600/423x900/238+0+0 screen
        setMonitor BOTTOM 800/212x300/79+400+900 none
        ;;
    outputs | stacked-outputs | left-outputs)
        local where=--right-of
        [ "$layout" = outputs ] || where=--below
        [ "$layout" != left-outputs ] || where=--left-of
        if ! xrandr --output DUMMY0 --mode 1280x720 --primary ||
            ! xrandr --addmode DUMMY1 1024x768 ||
            ! xrandr --output DUMMY1 --mode 1024x768 "$where" DUMMY0; then
            fail "could not turn on the dummy driver's outputs"
        fi
        # Only a full query makes the dummy driver announce the new layout to every client.
        xrandr >/dev/null
        ;;
    *) fail "no such layout: $layout" ;;
    esac
}

# One "WIDTH HEIGHT X Y" line per monitor the server lists now: RandR's, else Xinerama's, else
# the whole screen.
monitors()
{
    if [ "$layout" = none ]; then
        xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2], 0, 0 }'
        return
    fi
    if [ "$layout" = xinerama ]; then
        xdpyinfo -ext XINERAMA | awk '/head #/ { split($3, s, "x"); split($5, o, ","); print s[1], s[2], o[1], o[2] }'
        return
    fi
    xrandr --listmonitors | awk 'NR > 1 { split($3, g, /[\/x+]/); print g[1], g[3], g[5], g[6] }'
}

startWindowManager()
{
    command -v "$windowManager" >/dev/null || {
        echo "SKIP: $windowManager is not installed"
        exit $skipped
    }
    case $windowManager in
    xfwm4)
        # It reads its settings through xfconf, over a session bus: it gets one of its own.
        local bus
        bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
            fail "could not start a session bus for xfwm4"
        DBUS_SESSION_BUS_ADDRESS=$(head -n1 <<<"$bus") \
            xfwm4 --compositor=off --sm-client-disable >"$workDir/wm.log" 2>&1 &
        helperPids+=($! "$(sed -n 2p <<<"$bus")")
        ;;
    *)
        "$windowManager" >"$workDir/wm.log" 2>&1 &
        helperPids+=($!)
        ;;
    esac
    waitFor "$windowManager manages the screen" windowManagerRunning
}

windowManagerRunning() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# litMap PICTURE: the picture cut into a 12 x 12 grid, each cell's share of all lit pixels
# (lines are as wide on any monitor, so shares, not counts, compare across sizes).
litMap()
{
    convert "$1" -colorspace gray -threshold 0 -scale '12x12!' -depth 16 -compress none pgm:- |
        awk '/^#/ { next } { for (i = 1; i <= NF; ++i) v[n++] = $i }
            END { for (i = 4; i < n; ++i) s += v[i]; for (i = 4; i < n; ++i) printf "%.5f ", v[i] / s }'
}

# How far apart two lit maps are: 0 for the same picture, 2 for pictures with no cell in
# common. The same frame on monitors of different shapes measures well below 0.1; half the
# picture stretched over a monitor, or the picture squeezed to a square, above 1.
mapDistance()
{
    awk -v a="$1" -v b="$2" 'BEGIN { n = split(a, p); split(b, q)
        for (i = 1; i <= n; ++i) { d = p[i] - q[i]; s += d < 0 ? -d : d }
        printf "%.3f\n", s }'
}
sameShape() { awk -v d="$1" 'BEGIN { exit !(d < 0.3) }'; }

reason=$workDir/reason
mismatch()
{
    echo "$*" >"$reason"
    return 1
}

# pictureFitsMonitors PICTURE: takes a screenshot; true when every monitor shows contours,
# the same picture relative to its own rectangle, and nothing is lit outside every monitor.
# Says why not in $reason.
pictureFitsMonitors()
{
    local shot=$1 outside=$workDir/outside.miff first="" w h x y crop total black lit map distance
    xwd -root -silent >"$shot" || return 1
    : >"$workDir/shapes"
    local n=0 blackOut=()
    while read -r w h x y; do
        n=$((n + 1))
        crop=$workDir/monitor$n.miff
        convert "xwd:$shot" -crop "${w}x${h}+${x}+${y}" +repage "$crop"
        read -r total black lit _ < <(pixelCensus "$crop")
        [ "$lit" -gt 50 ] || mismatch "monitor $n (${w}x${h}+${x}+${y}) shows no contour" || return 1
        [ "$black" -ge $((total * 8 / 10)) ] ||
            mismatch "monitor $n (${w}x${h}+${x}+${y}) still shows the desktop" || return 1
        map=$(litMap "$crop")
        [ -n "$first" ] || first=$map
        distance=$(mapDistance "$first" "$map")
        echo "monitor $n ${w}x${h}+${x}+${y}: $lit lit pixels, $distance from monitor 1" \
            >>"$workDir/shapes"
        sameShape "$distance" ||
            mismatch "monitor $n shows another picture than monitor 1 ($distance apart)" ||
            return 1
        blackOut+=(-draw "rectangle $x,$y $((x + w - 1)),$((y + h - 1))")
    done < <(monitors)
    [ "$n" -ge 1 ] || mismatch "the server lists no monitor" || return 1
    # Where Xinerama joins screens, what lies outside them all is no screen's memory at all.
    [ "$layout" != xinerama ] || return 0
    convert "xwd:$shot" -fill black "${blackOut[@]}" "$outside"
    read -r _ _ lit _ < <(pixelCensus "$outside")
    [ "$lit" -eq 0 ] || mismatch "$lit pixels lit outside every monitor" || return 1
}

# Waits for a picture that fits the monitors as they are now; fails saying what was wrong.
# With VORNELLE_KEEP_SHOTS naming a directory, the screenshot checked is kept there.
showsPictureOnEveryMonitor()
{
    local giveUp=$((SECONDS + deadlineSeconds))
    until pictureFitsMonitors "$workDir/shot.xwd"; do
        [ "$SECONDS" -lt "$giveUp" ] || fail "after ${deadlineSeconds}s: $(cat "$reason")"
        sleep 0.2
    done
    cat "$workDir/shapes"
    if [ -n "${VORNELLE_KEEP_SHOTS:-}" ]; then
        shotNumber=$((${shotNumber:-0} + 1))
        convert "xwd:$workDir/shot.xwd" \
            "$VORNELLE_KEEP_SHOTS/$layout-$check${windowManager:+-$windowManager}-$shotNumber.png"
    fi
}

# pointAt N: the pointer to the middle of the Nth monitor (1 the first, 0 the last).
pointAt()
{
    local w h x y
    if [ "$1" -eq 0 ]; then
        read -r w h x y < <(monitors | tail -n1)
    else
        read -r w h x y < <(monitors | sed -n "${1}p")
    fi
    xdotool mousemove $((x + w / 2)) $((y + h / 2))
}

popupWindow() { xdotool search --onlyvisible --name '^vornelle-test-popup$' 2>/dev/null | head -n1; }
popupHasFocus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(popupWindow)" ]; }

# A window appears during the run and takes the focus, as a dialog or a chat window would.
popUpAndTakeFocus()
{
    if ! popupShown; then
        xev -name vornelle-test-popup >/dev/null 2>&1 &
        helperPids+=($!)
    fi
    waitFor "the popup window is mapped" popupShown
    xdotool windowfocus "$(popupWindow)" 2>/dev/null
    waitFor "the popup window has the focus" popupHasFocus
}
popupShown() { [ -n "$(popupWindow)" ]; }

checkExits()
{
    pointAt 0
    startSaverOnScreen
    showsPictureOnEveryMonitor
    xdotool mousemove_relative -- 5 5
    waitForExit 0
    echo "PASS: motion over the last monitor ends the run"

    pointAt 1
    startSaverOnScreen
    click 1
    waitForExit 0
    echo "PASS: a click on the first monitor ends the run"

    startSaverOnScreen
    if [ "${VORNELLE_HOLDS_KEYBOARD:-yes}" = no ]; then
        xdotool key Escape
        waitForExit 0
        echo "PASS: Escape ends the run"
        return
    fi
    popUpAndTakeFocus
    xdotool key Escape
    waitForExit 0
    echo "PASS: Escape ends the run while another window has the focus"

    # The server lets go of a keyboard hold whose window is hidden, even for a moment.
    startSaverOnScreen
    local window
    window=$(saverWindow)
    xdotool windowunmap --sync "$window" && xdotool windowmap --sync "$window" ||
        fail "could not hide the window and show it again"
    popUpAndTakeFocus
    # The hold comes back at the next frame; a key pressed before that still goes elsewhere, and
    # a person presses it again.
    for _ in 1 2 3 4 5; do
        xdotool key Escape
        sleep 0.5
        saverRunning || break
    done
    waitForExit 0
    echo "PASS: Escape ends the run, another window focused, after its window was hidden a moment"
}

# Xvfb's screen never grows beyond the size it started at: one started wider is narrowed before
# a run, to grow during it. xrandr protests that the server's output is wider, but it narrows.
narrowScreen()
{
    xrandr --fb "$1" >/dev/null 2>&1
    [ "$(xdpyinfo | awk '/dimensions:/ { print $2 }')" = "$1" ] ||
        fail "could not narrow the screen to $1"
}

# Each change: the picture on every monitor as the server now lists them.
changeMonitors()
{
    "$@" >/dev/null || fail "$*"
    showsPictureOnEveryMonitor
}

# RandR monitors come and go on the same root; outputs turned off and on make the root itself
# shrink and grow back, and the window follows the root's size. At the end of the side-by-side
# changes the root grows beyond the size it had when the run started, for a third monitor.
checkChanges()
{
    [ "$layout" != side-by-side ] || narrowScreen 2560x720
    startSaverOnScreen
    showsPictureOnEveryMonitor
    case $layout in
    side-by-side)
        changeMonitors xrandr --delmonitor RIGHT
        changeMonitors xrandr --setmonitor RIGHT 640/170x360/95+1600+180 none
        xrandr --delmonitor LEFT >/dev/null || fail "xrandr --delmonitor LEFT"
        changeMonitors xrandr --setmonitor LEFT 960/254x540/143+0+90 screen
        xrandr --fb 3840x720 || fail "xrandr --fb 3840x720"
        changeMonitors xrandr --setmonitor THIRD 1280/339x720/190+2560+0 none
        ;;
    outputs)
        # Back on smaller, then larger and wholly beyond the window's first right edge (2304):
        # the desktop grows past the window, and the monitor lies where the window was not.
        changeMonitors xrandr --output DUMMY1 --off
        xrandr --addmode DUMMY1 800x600 || fail "xrandr --addmode DUMMY1 800x600"
        changeMonitors xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0
        xrandr --addmode DUMMY1 1280x720 || fail "xrandr --addmode DUMMY1 1280x720"
        changeMonitors xrandr --output DUMMY1 --mode 1280x720 --pos 2400x0
        ;;
    *) fail "no changes for the layout $layout" ;;
    esac
    saverRunning || fail "the run ended while monitors changed"
    xdotool key Escape
    waitForExit 0
    echo "PASS: the picture followed every change of the monitors"
}

makeLayout
# A colour no frame of the program draws over a whole monitor.
xsetroot -solid '#3060a0' || fail "could not paint the desktop"
[ -z "$windowManager" ] || startWindowManager
echo "monitors: $(monitors | tr '\n' ';')${windowManager:+ under $windowManager}"
case $check in
exits) checkExits ;;
changes) checkChanges ;;
*) fail "no such check: $check" ;;
esac
