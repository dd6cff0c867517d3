#!/bin/bash
# What a person sees: coloured contours on black, moving. The field's colours are strongly
# tinted, and even blended they never come near white. Blends of near-complementary colours
# are honestly grey (red and cyan meet at mid grey), and some arrangements have many of them:
# over 3,000 seeds as few as 39 % of the contour stayed tinted, so the check asks for a
# quarter. Colours lost on the way to the screen leave next to none.
. "$(dirname "$0")/lib.sh"

startSaverOnScreen
picture=$workDir/picture.png
screenshot "$picture"
read -r total black lit tinted white < <(pixelCensus "$picture")
echo "pixels: $total, black $black, contour $lit (tinted $tinted, white $white)"

[ "$black" -ge $((total * 8 / 10)) ] || fail "the background is not black"
[ "$lit" -gt 100 ] || fail "no contour is drawn"
[ "$white" -eq 0 ] || fail "$white contour pixels are white"
[ "$tinted" -ge $((lit / 4)) ] || fail "too many contour pixels are grey"

waitForAnimation
xdotool key Escape
waitForExit 0
echo "PASS: tinted contours on black, animated"
