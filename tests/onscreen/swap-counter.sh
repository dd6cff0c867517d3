#!/bin/bash
# swap-counter.sh VORNELLE SWAP_COUNTER: the swap counter the measuring scripts preload
# reports only from the program. Here it is preloaded into every process the test starts
# (xdotool, xwd, convert, the shell's own tools, anything the program starts), as it is
# into whatever the program starts when it is measured; only the program may write the log.
. "$(dirname "$0")/lib.sh"
log=$workDir/swaps.log
export LD_PRELOAD=$2 VORNELLE_SWAP_LOG=$log

startSaverOnScreen
xdotool key Escape
waitForExit 0
unset LD_PRELOAD

[ -s "$log" ] || fail "the program wrote no swap log"
read -r firstWord firstSwap <"$log"
lastLine=$(tail -n1 "$log")
read -r countWord count loggedFirst _ <<<"$lastLine"
if [ "$(wc -l <"$log")" -ne 2 ] || [ "$firstWord" != first ] || [ "$countWord" != swaps ]; then
    fail "the log is not one first swap and one count: $(cat "$log")"
fi
if [ "$count" -lt 1 ] || [ "$loggedFirst" != "$firstSwap" ]; then
    fail "the count does not follow the first swap: $(cat "$log")"
fi
echo "PASS: only the program wrote to the log: $count swaps"
