#!/bin/bash
# wayland.sh COMPOSITOR VORNELLE: Vornelle on Wayland under COMPOSITOR, sway or weston, with
# two outputs, in a session whose clients also have an X server (the compositor's Xwayland,
# named by DISPLAY): it runs as one native full-screen window per output, at each output's
# size, each drawing; it keeps running where the pointer rests; the first pointer motion right
# or down over either output, a click, Escape, SIGTERM to the program or to one run and SIGHUP
# to the program each end every run with status 0 and nothing on stderr; killed, its runs end
# too; a run stopped (SIGSTOP) holds its output no more than about a second after motion ends
# the other, and does not outlive the program killed; a run that cannot set up its display ends them all with one report and status 255;
# with one output there is one process, as on X11, which never holds the pointer; the
# compositor exiting or killed under one run or several ends them all with status 1 and one
# report.
# sway's outputs are 1024x768 and 800x600, and "swayidle -w timeout SECONDS 'vornelle /s'"
# starts runs on both once the seat is idle. weston's are 1024x768 both, the second at scale
# 2: it shows the picture over the whole output at its own resolution, its lines as thin in
# its pixels as the first output's in its own.
# The compositor draws each output into a window on the private X server named by DISPLAY,
# which stands in for monitors, a mouse and a keyboard (xdotool drives them); the X server
# must be 1824x768 or larger for sway, 3072x1536 for weston. Compositors refuse to run as
# root, so as root the session runs as the user nobody. Exits 77 (skipped) when the
# compositor or a tool the test needs is missing. With RECIPE_SHOTS set to a directory, leaves
# each output's screenshot there.
set -u
compositor=$1
binary=$2
work=$(mktemp -d)
chmod 755 "$work"
compositorPid=""
saverPid=""
trap 'kill $saverPid $compositorPid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $compositor: $*"
    [ -s "$work/saver.log" ] && echo "--- vornelle: $(cat "$work/saver.log")"
    exit 1
}

case $compositor in
sway) tools="sway swayidle swaymsg grim Xwayland jq" ;;
weston) tools="weston weston-debug Xwayland xwd convert" ;;
*) echo "usage: wayland.sh sway|weston VORNELLE" >&2; exit 2 ;;
esac
for tool in $tools; do
    command -v "$tool" >/dev/null || { echo "SKIP: $compositor: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/within.sh"

# The session's user, with a home and a runtime directory of its own.
asUser=()
if [ "$(id -u)" -eq 0 ]; then
    asUser=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
mkdir -m 700 "$work/home" "$work/runtime"
mkdir "$work/bin"
cp "$binary" "$work/bin/vornelle"
chmod 755 "$work/bin/vornelle"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$work/home" "$work/runtime"

# inSession [NAME=VALUE...] COMMAND...: runs COMMAND as the session's user, with only what a
# client of this session has in its environment and the settings given; execs, so that $! of
# "(inSession ...) &" is the command itself.
inSession() {
    local session=(PATH="$work/bin:/usr/bin:/bin" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime")
    [ -n "${socket:-}" ] && session+=(WAYLAND_DISPLAY="$socket")
    [ -n "${xwayland:-}" ] && session+=(DISPLAY="$xwayland")
    session+=("${compositorSession[@]}")
    # A sanitized build keeps the settings its test run chose.
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -n "${!name:-}" ] && session+=("$name=${!name}")
    done
    exec "${asUser[@]}" env -i "${session[@]}" "$@"
}
compositorSession=()

# --- What differs between compositors: starting one, its outputs, its views, screenshots.

# sway_start COUNT: COUNT outputs (1 or 2), 1024x768 and 800x600, each a window on the X
# server, drawn in software.
sway_start() {
    printf '%s\n' 'output * bg #000000 solid_color' 'output X11-2 mode 800x600' >"$work/config"
    chmod 644 "$work/config"
    (inSession WLR_BACKENDS=x11 WLR_X11_OUTPUTS="$1" DISPLAY="$DISPLAY" WLR_RENDERER=pixman \
        sway -c "$work/config") >"$work/compositor.log" 2>&1 &
    compositorPid=$!
    within 300 sway_ready || fail "sway did not start: $(tail -n 5 "$work/compositor.log")"
    compositorSession=(SWAYSOCK="$ipc")
}

sway_ready() {
    socket=$(find "$work/runtime" -maxdepth 1 -name 'wayland-[0-9]*' ! -name '*.lock' \
        -printf '%f\n' | head -n1)
    ipc=$(find "$work/runtime" -maxdepth 1 -name 'sway-ipc.*.sock' | head -n1)
    [ -n "$socket" ] && [ -n "$ipc" ] &&
        (inSession SWAYSOCK="$ipc" swaymsg -t get_version) >/dev/null 2>&1
}

swaymsg() { (inSession swaymsg "$@"); }

# The X server sway hands its clients (started when the first one connects).
sway_xwayland() {
    rm -f "$work/home/display"
    # shellcheck disable=SC2016 # expanded by the shell sway starts
    swaymsg exec 'echo "$DISPLAY" >"$HOME/display"' >/dev/null
    within 100 test -s "$work/home/display" && head -n1 "$work/home/display"
}

# Lines of "NAME WIDTHxHEIGHT", one per active output, in the compositor's order.
sway_outputs() {
    swaymsg -t get_outputs | jq -r '.[] | select(.active) | "\(.name) \(.rect.width)x\(.rect.height)"'
}

# Lines of "OUTPUT KIND FULLSCREEN WIDTHxHEIGHT PID", one per view of Vornelle (by its
# caption), where KIND is "native" for a Wayland client of app_id vornelle.
sway_views() {
    swaymsg -t get_tree | jq -r '.nodes[] | select(.type == "output") | .name as $output
        | .. | objects | select(.name? == "Vornelle")
        | (if .shell == "xdg_shell" and .app_id == "vornelle" then "native" else .shell end)
            as $kind
        | "\($output) \($kind) \(.fullscreen_mode) \(.rect.width)x\(.rect.height) \(.pid)"'
}

sway_shoot() { (inSession grim -o "$1" "$2") 2>/dev/null; }

# The size of sway's second output's window on the X server.
sway_secondOutputWindow() { echo 800x600; }

# weston_start COUNT: COUNT outputs (1 or 2) of 1024x768, the second at scale 2 (so 2048x1536
# pixels), each a window on the X server, drawn in software; Xwayland for X clients.
weston_start() {
    printf '%s\n' '[core]' 'idle-time=0' '[shell]' 'background-color=0xff000000' \
        'panel-position=none' 'locking=false' '[output]' 'name=screen1' 'scale=2' \
        >"$work/weston.ini"
    chmod 644 "$work/weston.ini"
    # --debug lets weston-debug print the scene graph, the only place weston lists its views.
    (inSession DISPLAY="$DISPLAY" weston --backend=x11-backend.so --output-count="$1" \
        --width=1024 --height=768 --use-pixman --xwayland --debug --socket=vornelle-test \
        --config="$work/weston.ini") >"$work/compositor.log" 2>&1 &
    compositorPid=$!
    socket=vornelle-test
    within 300 weston_ready || fail "weston did not start: $(tail -n 5 "$work/compositor.log")"
}

weston_ready() { [ "$(weston_outputs | wc -l)" -gt 0 ]; }

weston_scene() { (inSession timeout 20 weston-debug scene-graph) 2>/dev/null; }

# The X server weston starts for its clients; it names it in its log.
weston_xwayland() {
    sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/compositor.log" | head -n1 |
        grep .
}

# Outputs in logical pixels, as the scene graph gives them: "Output 0 (screen0):", then
# "position: (X1, Y1) -> (X2, Y2)".
weston_outputs() {
    weston_scene | awk '/^Output / { name = $3; gsub(/[():]/, "", name) }
        /^\tposition:/ && name != "" {
            gsub(/[(),]/, " "); printf "%s %dx%d\n", name, $5 - $2, $6 - $3; name = "" }'
}

# Views of Vornelle's windows (role xdg_toplevel, title Vornelle, app_id vornelle); full screen
# where they stand in the desktop shell's layer for full-screen windows (position 0xb0000000).
weston_views() {
    weston_scene | awk '
        /^Layer / { fullScreen = $0 ~ /pos 0xb0000000\)/ ? 1 : 0 }
        /^\tView / {
            view = $0 ~ /role xdg_toplevel, PID [0-9]+,.* top-level window .Vornelle. of vornelle,/
            if (view) { pid = $0; sub(/.*PID /, "", pid); sub(/,.*/, "", pid) } }
        view && /^\t\tposition:/ {
            line = $0; gsub(/[(),]/, " ", line); split(line, p, " ")
            size = (p[5] - p[2]) "x" (p[6] - p[3]) }
        view && /^\t\toutputs:/ {
            output = $0; sub(/^[^(]*\(/, "", output); sub(/\).*/, "", output)
            print output, "native", fullScreen, size, pid; view = 0 }'
}

# weston_shoot OUTPUT FILE: what the output's window on the X server shows.
weston_shoot() {
    local geometry
    geometry=$(xwininfo -name "Weston Compositor - $1" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { printf "%dx%d+%d+%d", w, h, x, y }')
    xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$2"
}

# The size of weston's second output's window on the X server: twice the first's, in pixels.
weston_secondOutputWindow() { echo 2048x1536; }

# lineWidth PICTURE: the contours' mean width in pixels: lit pixels over those of their
# skeleton.
lineWidth() {
    local lit skeleton
    lit=$(convert "$1" -colorspace Gray -threshold 8% -format '%[fx:mean*w*h]' info:)
    skeleton=$(convert "$1" -colorspace Gray -threshold 8% -morphology Thinning:-1 Skeleton \
        -format '%[fx:mean*w*h]' info:)
    awk -v lit="$lit" -v skeleton="$skeleton" \
        'BEGIN { if (skeleton < 100) exit 1; printf "%.2f\n", lit / skeleton }'
}

# Drawn at the scaled output's own resolution, lines are as wide in its pixels as on the other
# output; scaled up by the compositor, they would be about twice as wide, and blurred.
weston_linesAsThinOnBothOutputs() {
    weston_shoot screen0 "$work/home/screen0.png" && weston_shoot screen1 "$work/home/screen1.png" &&
        width0=$(lineWidth "$work/home/screen0.png") &&
        width1=$(lineWidth "$work/home/screen1.png") &&
        awk -v a="$width0" -v b="$width1" 'BEGIN { exit !(b < 1.5 * a && a < 1.5 * b) }'
}

# Quarters of the scaled output seen with contours so far: in time all four, where the
# picture covers the whole output, not the quarter its size in logical pixels would cover.
quartersDrawn=(0 0 0 0)
weston_everyQuarterDrawn() {
    weston_shoot screen1 "$work/home/screen1.png" || return 1
    local quarter=0 corner share
    for corner in +0+0 +1024+0 +0+768 +1024+768; do
        share=$(convert "$work/home/screen1.png" -crop "1024x768$corner" +repage \
            -fill white +opaque black -colorspace Gray -format '%[fx:mean]' info:)
        awk -v lit="$share" 'BEGIN { exit !(lit > 0.0005) }' && quartersDrawn[quarter]=1
        quarter=$((quarter + 1))
    done
    [ "${quartersDrawn[*]}" = "1 1 1 1" ]
}

# The scaled output at its own resolution: the whole output drawn, lines as thin as elsewhere.
weston_drawsAtOutputResolution() {
    # Each look takes a second or more: these wait a minute at most.
    within 40 weston_everyQuarterDrawn ||
        fail "the scaled output showed contours in quarters ${quartersDrawn[*]} only"
    within 10 weston_linesAsThinOnBothOutputs ||
        fail "lines ${width0:-?} px wide on the first output, ${width1:-?} px on the scaled one"
    echo "$compositor: the scaled output drawn whole; lines $width0 px wide on the first" \
        "output, $width1 px on the scaled one"
}


# --- The same checks for any compositor.

# The compositor's windows on the X server open at 0,0: the second output's, the only one of
# its size, goes beside the first.
placeSecondOutput() {
    local size window
    size=$("${compositor}_secondOutputWindow")
    for window in $(xdotool search --onlyvisible --name ''); do
        if xwininfo -id "$window" | grep -qzE "Width: ${size%x*}.*Height: ${size#*x}"; then
            xdotool windowmove "$window" 1024 0
            return 0
        fi
    done
    return 1
}

# The middle of the second output on the X server.
secondOutputMiddle() {
    local size
    size=$("${compositor}_secondOutputWindow")
    echo $((1024 + ${size%x*} / 2)) $((${size#*x} / 2))
}

stopCompositor() {
    kill "$compositorPid" 2>/dev/null # it may have gone already
    wait "$compositorPid" 2>/dev/null
    compositorPid=""
    socket=""
    xwayland=""
    compositorSession=()
}

outputs() { "${compositor}_outputs"; }
views() { "${compositor}_views"; }

# Every output shows one native full-screen view of Vornelle at its own size, and nothing more.
viewOnEveryOutput() {
    local expected actual
    expected=$(outputs | awk '{ print $1, "native", 1, $2 }' | sort)
    actual=$(views | awk '{ print $1, $2, $3, $4 }' | sort)
    [ -n "$expected" ] && [ "$expected" = "$actual" ]
}

noViews() { [ -z "$(views)" ]; }

saverEnded() { ! kill -0 "$saverPid" 2>/dev/null; }

# lit OUTPUT: the share of the output's pixels that are not black.
lit() {
    "${compositor}_shoot" "$1" "$work/home/$1.png" || return 1
    convert "$work/home/$1.png" -fill white +opaque black -colorspace Gray -format '%[fx:mean]' info:
}

contoursOn() {
    share=$(lit "$1") && awk -v lit="$share" 'BEGIN { exit !(lit > 0.0005 && lit < 0.2) }'
}

# startSaver X Y [NAME=VALUE...]: starts the program with the pointer resting at X,Y on the X
# server, as a person leaves it, waits for its views and checks that no run took the pointer's
# first sighting for motion. Sets runPids to the drawing processes.
startSaver() {
    xdotool mousemove "$1" "$2"
    (inSession "${@:3}" vornelle /s) >"$work/saver.log" 2>&1 &
    saverPid=$!
    within 600 viewOnEveryOutput || fail "no full-screen view on every output: $(views)"
    runPids=$(views | awk '{ print $5 }')
    # Motion within a new window's first frames may be taken for the pointer's first sighting;
    # a person's hand comes back later. Frames drawn at an output's own resolution in software
    # may come slowly.
    sleep 4
    viewOnEveryOutput || fail "a run ended by itself as it began"
}

# endsRun WHAT [STATUS [TENTHS]]: after WHAT was done, the program ends with STATUS (0) and
# nothing on stderr, and so does every run within TENTHS of a second (100): no process and no
# view is left.
endsRun() {
    local status=0 pid limit=${3:-100} start ended gone
    start=$(date +%s%3N)
    within "$limit" saverEnded || fail "$1 did not end the program"
    ended=$(($(date +%s%3N) - start))
    wait "$saverPid" || status=$?
    saverPid=""
    [ "$status" = "${2:-0}" ] || fail "$1: status $status"
    [ -s "$work/saver.log" ] && fail "$1: it wrote to stderr"
    for pid in $runPids; do
        within "$limit" eval "! kill -0 $pid 2>/dev/null" || fail "$1: run $pid is still there"
    done
    gone=$(($(date +%s%3N) - start))
    within 100 noViews || fail "$1: views are left: $(views)"
    echo "$compositor: $1 ends every run (the program within $ended ms, its runs $gone ms)"
}

"${compositor}_start" 2
outputCount=$(outputs | wc -l)
[ "$outputCount" -ge 2 ] || fail "expected two outputs: $(outputs)"
within 100 placeSecondOutput || fail "no window on the X server for the second output"

# Clients get an X server too, and its being there must not lead the program away from Wayland.
xwayland=$("${compositor}_xwayland") || fail "no Xwayland display"
(inSession xdpyinfo) >/dev/null 2>&1 || fail "Xwayland $xwayland does not answer"

# One native view per output, each drawing; then each way of ending, over either output.
startSaver 512 384
for output in $(outputs | awk '{ print $1 }'); do
    within 100 contoursOn "$output" ||
        fail "expected thin contours on black on $output, $share of it is lit"
    [ -n "${RECIPE_SHOTS:-}" ] && cp "$work/home/$output.png" "$RECIPE_SHOTS/$compositor-$output.png"
    echo "$compositor: $output: full screen, native, contours drawn (lit $share)"
done
[ "$compositor" = weston ] && weston_drawsAtOutputResolution
xdotool mousemove_relative 5 5
endsRun "pointer motion over the first output"
# shellcheck disable=SC2046 # X and Y
startSaver $(secondOutputMiddle)
xdotool mousemove_relative 5 5
endsRun "pointer motion over the second output"
startSaver 512 384
xdotool mousedown 1 sleep 0.2 mouseup 1
endsRun "a click"
startSaver 512 384
xdotool key Escape
endsRun "Escape"
startSaver 512 384
kill -TERM "$saverPid"
endsRun "SIGTERM to the program"
startSaver 512 384
kill -TERM "$(head -n1 <<<"$runPids")"
endsRun "SIGTERM to one run"
startSaver 512 384
kill -HUP "$saverPid"
endsRun "SIGHUP to the program"

# Killed, the program leaves its runs nothing to wait for: they end too.
startSaver 512 384
kill -KILL "$saverPid"
endsRun "SIGKILL to the program" 137

# A run that does not end when asked (stopped, as a debugger leaves it) neither keeps its output
# frozen long after the user is back nor outlives the program: it is killed about a second
# after the other run ends, and at once when the program is killed. The pointer rests over the
# first output; the run on the second is stopped.
for round in "motion 0" "SIGKILL 137"; do
    read -r how status <<<"$round"
    startSaver 512 384
    first=$(outputs | awk 'NR == 1 { print $1 }')
    stopped=$(views | awk -v first="$first" '$1 != first { print $5; exit }')
    kill -STOP "$stopped"
    case $how in
    motion) xdotool mousemove_relative 5 5 ;;
    SIGKILL) kill -KILL "$saverPid" ;;
    esac
    endsRun "$how with the other run stopped" "$status" 30
done

# A run that cannot draw (no EGL, on which SDL draws OpenGL on Wayland) ends them all, with one
# report.
xdotool mousemove 512 384
(inSession SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so.1 vornelle /s) >"$work/saver.log" 2>&1 &
saverPid=$!
within 600 saverEnded || fail "a failed set-up did not end the program"
status=0
wait "$saverPid" || status=$?
reports=$(grep -c '^SDL ERROR:$' "$work/saver.log")
if [ "$status" != 255 ] || [ "$reports" != 1 ]; then
    fail "a failed set-up: status $status, $reports reports"
fi
within 100 noViews || fail "a failed set-up left views: $(views)"
echo "$compositor: a failed set-up ends every run with one report"
: >"$work/saver.log"

# runIdle SWAYIDLE_ARGUMENT...: swayidle starts vornelle on every output once the seat is idle;
# with a later timeout given, that fires while it runs (the program holds off no idleness);
# motion ends it.
runIdle() {
    rm -f "$work/home/idle-later"
    (inSession swayidle "$@") >"$work/swayidle.log" 2>&1 &
    idlePid=$!
    within 600 viewOnEveryOutput ||
        fail "swayidle $*: vornelle did not start on every output: $(cat "$work/swayidle.log")"
    # Motion sent with the pointer's first sighting is taken with it for that sighting.
    sleep 1
    viewOnEveryOutput || fail "swayidle $*: a run ended by itself as it began"
    if [[ "$*" == *idle-later* ]]; then
        within 100 test -e "$work/home/idle-later" || fail "swayidle $*: the later timeout waits"
        viewOnEveryOutput || fail "swayidle $*: a run ended by itself"
    fi
    xdotool mousemove_relative 5 5
    within 100 noViews || fail "swayidle $*: the runs did not end on motion: $(views)"
    kill "$idlePid"
    wait "$idlePid" 2>/dev/null
    echo "$compositor: swayidle $* starts it on every output"
}

# The recipe, with 2 idle seconds standing in for 300; then without -w, which would hold
# swayidle's later timeouts (switching outputs off, say) until the run ends. swayidle needs
# sway's idle protocol.
if [ "$compositor" = sway ]; then
    xdotool mousemove 512 384
    runIdle -w timeout 2 'vornelle /s'
    # shellcheck disable=SC2016 # expanded by the shell swayidle starts
    runIdle timeout 2 'vornelle /s' timeout 4 'touch "$HOME/idle-later"'
fi

# pointerHolds PROTOCOL_LOG: of the holds on the pointer (a confinement or a lock) one run
# asked the compositor for, those not let go by its first frame, and those asked for later;
# "none" where the compositor offered none.
pointerHolds() {
    awk '/ -> wl_registry@[0-9]+\.bind\(.*"zwp_pointer_constraints_v1"/ { offered = 1 }
        / -> zwp_pointer_constraints_v1@[0-9]+\.(confine|lock)_pointer\(/ { held++; if (shown) later++ }
        / -> zwp_(locked|confined)_pointer_v1@[0-9]+\.destroy\(/ { held-- }
        / -> wl_surface@[0-9]+\.attach\(wl_buffer@/ && !shown { shown = 1; atFirstFrame = held }
        END { if (offered) print atFirstFrame + 0, later + 0; else print "none" }' "$1"
}

# With one output there is one process, as on X11. It watches the pointer without holding it:
# mutter 43 crashed on confinement, and a locked pointer's first motion reached no run there.
# The compositor's log of the protocol is read from that process, where no other run's lines
# mix with it.
stopCompositor
"${compositor}_start" 1
startSaver 512 384 WAYLAND_DEBUG=client
[ -z "$(pgrep -P "$saverPid")" ] || fail "one output, but the program started runs"
kill -TERM "$saverPid"
within 100 saverEnded || fail "SIGTERM with one output did not end the program"
holds=$(pointerHolds "$work/saver.log")
: >"$work/saver.log" # the protocol's log, not the program's own words
[ "$holds" != none ] || fail "the compositor offered no hold on the pointer"
[ "$holds" = "0 0" ] ||
    fail "the run held the pointer: holds kept at its first frame and asked later: $holds"
endsRun "SIGTERM with one output, the pointer never held"

# loseCompositor SIGNAL OUTPUTS: the compositor goes under the running program, exiting as asked
# (SIGTERM) or killed (SIGKILL), and takes its X server with it: the program and every run end
# within a few seconds with status 1 and one report of the lost connection.
loseCompositor() {
    local status=0 helpers pid
    helpers=$(pgrep -P "$compositorPid")
    kill -"$1" "$compositorPid"
    wait "$compositorPid" 2>/dev/null # bash's note of its end goes here, not on the test's output
    within 100 saverEnded || fail "SIG$1 to the compositor did not end the program"
    wait "$saverPid" || status=$?
    saverPid=""
    stopCompositor
    # shellcheck disable=SC2086 # one PID a word
    kill $helpers 2>/dev/null
    # A killed compositor leaves its sockets behind, where the next would be looked for.
    find "$work/runtime" -mindepth 1 -delete
    [ "$status" = 1 ] || fail "SIG$1 to the compositor: status $status"
    [ "$(cat "$work/saver.log")" = "vornelle: lost the connection to the Wayland compositor" ] ||
        fail "SIG$1 to the compositor: not the one report expected"
    for pid in $runPids; do
        within 100 eval "! kill -0 $pid 2>/dev/null" || fail "SIG$1 to the compositor: run $pid is left"
    done
    : >"$work/saver.log"
    echo "$compositor: SIG$1 to the compositor with $2 output(s) ends every run"
}

# Under one run and under several, whichever way the compositor goes; the first round in the
# session already running.
for round in "TERM 1" "KILL 2" "KILL 1" "TERM 2"; do
    read -r signal count <<<"$round"
    [ -n "$compositorPid" ] || "${compositor}_start" "$count"
    xwayland=$("${compositor}_xwayland") || fail "no Xwayland display"
    startSaver 512 384
    loseCompositor "$signal" "$count"
done
echo "$compositor: passed"
