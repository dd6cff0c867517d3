#!/bin/bash
# argv-fuzz.sh VORNELLE ARGV_FUZZ: random argument vectors that do not ask the program to
# run, on a live X server: each ends at once with status 0, says nothing, and no window
# ever appears.
. "$(dirname "$0")/../onscreen/lib.sh"
fuzzer=$2

watchForWindows
"$fuzzer" "$binary" || fail "some argument vectors went wrong"
shown=$(windowsShownSinceWatch)
[ "$shown" -eq 0 ] || fail "$shown windows were shown"
echo "PASS: no window appeared"
