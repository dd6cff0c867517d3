#!/bin/bash
# When the display cannot be set up, standard error carries exactly the report and the
# process ends with status 255 (main's -1), never hanging or running invisibly.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
withXvfb="$here/../../scripts/with-xvfb"
failures=0
runtime=$(mktemp -d) # a login session always has one; without it libwayland complains
trap 'rm -rf "$runtime"' EXIT

expect_report() {
    local what=$1 message=$2
    shift 2
    local stderr status
    stderr=$(timeout 20 "$@" 2>&1 >/dev/null; echo "status=$?")
    status=${stderr##*status=}
    stderr=${stderr%status=*}
    if [ "$status" -ne 255 ] || [ "$stderr" != "$(printf 'SDL ERROR:\n%s\n' "$message")"$'\n' ]; then
        echo "FAIL: $what: status $status, stderr [$stderr]"
        failures=$((failures + 1))
    fi
}

expect_report "unknown video driver" "Unable to init SDL" \
    env SDL_VIDEODRIVER=nonexistent "$binary" /s
expect_report "no display at all" "Unable to init SDL" \
    env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$runtime" "$binary" /s
expect_report "display with no server" "Unable to init SDL" \
    env -u WAYLAND_DISPLAY DISPLAY=:4095 XDG_RUNTIME_DIR="$runtime" "$binary" /s
expect_report "server without OpenGL" "Unable to set video mode" \
    env XVFB_ARGS="-extension GLX" "$withXvfb" "$binary" /s

[ "$failures" -eq 0 ] && echo "failures: all passed"
exit "$failures"
