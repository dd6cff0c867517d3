#!/bin/bash
# Started any other way than with /s, the program ends at once with status 0, says nothing
# and never shows a window.
. "$(dirname "$0")/lib.sh"

runsWithoutWindow()
{
    startSaver "$@"
    waitForExit 0
    [ ! -s "$workDir/stderr" ] || fail "arguments '$*' wrote to standard error"
}

watchForWindows
# startSaver with no arguments would add /s, so the bare program is run here.
"$binary" 2>"$workDir/stderr" || fail "no arguments: exit status $?"
[ ! -s "$workDir/stderr" ] || fail "no arguments: wrote to standard error"
runsWithoutWindow /p
runsWithoutWindow /c
runsWithoutWindow /S
runsWithoutWindow /p 1234
runsWithoutWindow /c:1234
shown=$(windowsShownSinceWatch)
[ "$shown" -eq 0 ] || fail "$shown windows were shown"
echo "PASS: no argument, /p, /c, /S, /p 1234 and /c:1234 end at once without a window"
