#!/bin/bash
# memcheck.sh VORNELLE SWAP_COUNTER [FRAMES [MONITORS]]: runs the real program under valgrind's
# memcheck on the X server named by DISPLAY until it has shown FRAMES frames (300 by
# default), ends it with Escape, and fails on any invalid access or on memory definitely
# lost that memcheck.supp does not name as a third-party library's. With MONITORS 2 the
# screen is shown as two RandR monitors side by side, each half of it.
. "$(dirname "$0")/../onscreen/lib.sh"
swapCounter=$2
frames=${3:-300}
monitorCount=${4:-1}
here=$(cd "$(dirname "$0")" && pwd)
log=$workDir/memcheck.log
countFile=$workDir/frames
# valgrind is slow: starting alone takes a minute on a busy machine.
deadlineSeconds=${VORNELLE_MEMCHECK_DEADLINE:-900}

if [ "$monitorCount" = 2 ]; then
    read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2] }')
    sideBySideMonitors $((width / 2)) "$height"
fi

framesShown() { cat "$countFile" 2>/dev/null || echo 0; }
enoughFrames() { [ "$(framesShown)" -ge "$frames" ]; }

# One rasteriser thread: valgrind runs threads one at a time anyway, and this is faster.
# Forked helpers (SDL's D-Bus start-up) are not the program and are not reported.
LP_NUM_THREADS=0 VORNELLE_SWAP_COUNT=$countFile LD_PRELOAD=$swapCounter \
    valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --error-exitcode=99 --keep-debuginfo=yes \
    --child-silent-after-fork=yes --num-callers=40 --suppressions="$here/memcheck.supp" \
    --show-error-list=yes --log-file="$log" "$binary" /s 2>"$workDir/stderr" &
saverPid=$!

waitFor "the window is mapped under valgrind" saverWindowMapped
waitFor "$frames frames are shown under valgrind" enoughFrames
shown=$(framesShown)
xdotool key Escape
status=0
waitFor "the program ends" saverEnded
wait "$saverPid" || status=$?
saverPid=""

echo "frames shown under valgrind: $((shown))"
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|used_suppression' "$log" |
    sed 's/^[-=]*[0-9]*[-=]* *//'
if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    fail "valgrind ended with status $status"
fi
echo "PASS: $((shown)) frames under memcheck, no errors"
