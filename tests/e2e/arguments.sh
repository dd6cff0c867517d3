#!/bin/bash
# Started any way but with /s, vornelle ends at once with 0 and never touches SDL: with SDL
# pointed at a video driver that does not exist, touching it would print an error.
set -u
binary=$1
failures=0

check() {
    local stderr status
    stderr=$(env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=nonexistent "$binary" "$@" 2>&1 >/dev/null)
    status=$?
    if [ "$status" -ne 0 ] || [ -n "$stderr" ]; then
        echo "FAIL: arguments [$*] gave status $status, stderr [$stderr]"
        failures=$((failures + 1))
    fi
}

check
check ""
check /
check /p
check /c
check /S
check /p 1234
check "$(printf '\xff\xfe/s')"
check "$(head -c 70000 /dev/zero | tr '\0' 'x')"

[ "$failures" -eq 0 ] && echo "arguments: all passed"
exit "$failures"
