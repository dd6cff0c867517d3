#!/bin/bash
# What a person sees: coloured contours on black, moving. The field's colours are strongly
# tinted, and even blended they never come near white.
. "$(dirname "$0")/lib.sh"

startSaverOnScreen
picture=$workDir/picture.png
screenshot "$picture"
read -r total black lit tinted white < <(pixelCensus "$picture")
echo "pixels: $total, black $black, contour $lit (tinted $tinted, white $white)"

[ "$black" -ge $((total * 8 / 10)) ] || fail "the background is not black"
[ "$lit" -gt 100 ] || fail "no contour is drawn"
[ "$white" -eq 0 ] || fail "$white contour pixels are white"
[ "$tinted" -ge $((lit * 2 / 3)) ] || fail "too many contour pixels are grey"

waitForAnimation
xdotool key Escape
waitForExit 0
echo "PASS: tinted contours on black, animated"
