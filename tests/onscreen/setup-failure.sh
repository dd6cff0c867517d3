#!/bin/bash
# setup-failure.sh VORNELLE CASE: when the display cannot be set up, the program reports
# it on standard error, byte for byte, and ends with status 255 without showing a window.
. "$(dirname "$0")/lib.sh"
case=$2

# runFailing MESSAGE [ENV-ARG...]: runs the program under env with the given changes and
# checks that it ends with status 255; leaves the report expected and what it wrote.
runFailing()
{
    local message=$1 status=0
    shift
    printf 'SDL ERROR:\n%s\n' "$message" >"$workDir/expected"
    env "$@" "$binary" /s 2>"$workDir/stderr" || status=$?
    [ "$status" -eq 255 ] || fail "$case: exit status $status, expected 255"
}

# Standard error as text: on Windows the C library ends each line with CR LF.
reportText() { tr -d '\r' <"$workDir/stderr"; }

expectReport()
{
    runFailing "$@"
    reportText | cmp -s "$workDir/expected" - || fail "$case: standard error differs"
}

# Outside a login session a library may add its own complaint first; the report still
# closes standard error.
expectReportLast()
{
    runFailing "$@"
    reportText | tail -c "$(wc -c <"$workDir/expected")" | cmp -s "$workDir/expected" - ||
        fail "$case: standard error does not end with the report"
}

# runWithOutputClosed ARG...: launchers and daemons may start a program with standard output
# and error closed. The report is lost then, but the run must still end, and with status 255;
# a program that never ends is stopped at the deadline.
runWithOutputClosed()
{
    local status=0
    timeout -k 5 "$deadlineSeconds" "$binary" "$@" >&- 2>&- || status=$?
    [ "$status" -eq 255 ] || fail "$case: $*: exit status $status, expected 255"
}

# refusesHostWindow SOURCE COMMAND...: where the window system lends no windows, naming one
# is refused with a report naming where it was named, and status 255, before anything starts.
refusesHostWindow()
{
    local source=$1 status=0
    shift
    echo "vornelle: $source: drawing into another program's window is not supported on this" \
        "system" >"$workDir/expected"
    "$@" 2>"$workDir/stderr" || status=$?
    [ "$status" -eq 255 ] || fail "$case: $source: exit status $status, expected 255"
    reportText | cmp -s "$workDir/expected" - || fail "$case: $source: standard error differs"
}

# A display number that no server answers to.
absentDisplay()
{
    local number
    for number in $(seq 4000 4100); do
        if [ ! -e "/tmp/.X11-unix/X$number" ] && [ ! -e "/tmp/.X$number-lock" ]; then
            echo ":$number"
            return
        fi
    done
    fail "no free display number"
}

watchForWindows
case $case in
unknown-driver) expectReport "Unable to init SDL" SDL_VIDEODRIVER=nonexistent ;;
no-display)
    expectReport "Unable to init SDL" -u DISPLAY
    expectReportLast "Unable to init SDL" -u DISPLAY -u XDG_RUNTIME_DIR
    ;;
absent-server) expectReport "Unable to init SDL" DISPLAY="$(absentDisplay)" ;;
# Run on a server without GLX: it answers, but offers no OpenGL mode.
no-gl-on-server) expectReport "Unable to set video mode" ;;
# Also run on a server without GLX; no window has the id 0x1.
closed-streams)
    runWithOutputClosed /s
    runWithOutputClosed /s --window-id 0x1
    ;;
host-window-refused)
    refusesHostWindow --window-id "$binary" /s --window-id 0x2a00007
    refusesHostWindow XSCREENSAVER_WINDOW env XSCREENSAVER_WINDOW=0x2a00007 "$binary" /s
    ;;
*) fail "no such case: $case" ;;
esac
shown=$(windowsShownSinceWatch)
# SDL's Win32 driver shows its window before it asks for an OpenGL pixel format, so where
# that fails the window flashes up; the report and the status are what remain to check.
if [ -n "${VORNELLE_WINDOW_BEFORE_GL:-}" ]; then
    echo "note: $shown windows were shown before OpenGL failed"
else
    [ "$shown" -eq 0 ] || fail "$case: $shown windows were shown"
fi
echo "PASS: $case is reported and ends with status 255"
