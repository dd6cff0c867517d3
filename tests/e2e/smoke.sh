#!/bin/bash
# On a real X server: /s shows coloured contours on black, and a small mouse movement
# right and down ends it with status 0.
set -u
binary=$1
shot=$(mktemp --suffix=.png)
"$binary" /s &
saver=$!
trap 'kill "$saver" 2>/dev/null; rm -f "$shot"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

timeout 20 xdotool search --sync --name '^Vornelle$' >/dev/null ||
    fail "no window named Vornelle appeared"
sleep 1

xwd -root -silent | convert xwd:- "$shot" || fail "no screenshot"
# Share of pixels that are not black, and the strongest saturation among them.
lit=$(convert "$shot" -fill white +opaque black -colorspace Gray -format '%[fx:mean]' info:)
saturation=$(convert "$shot" -colorspace HSL -channel G -separate -format '%[fx:maxima]' info:)
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.0005 && lit < 0.2) }' ||
    fail "expected thin contours on black, $lit of the screen is lit"
awk -v s="$saturation" 'BEGIN { exit !(s > 0.5) }' ||
    fail "expected coloured contours, strongest saturation $saturation"

xdotool mousemove_relative 5 5
for _ in $(seq 50); do
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$saver" 2>/dev/null && fail "still running after the mouse moved"
wait "$saver"
status=$?
[ "$status" -eq 0 ] || fail "ended with status $status"
echo "smoke: passed (lit $lit, saturation $saturation)"
