#!/bin/bash
# package.sh SOURCE_DIR VERSION PACKAGE_ROOT [ARCH]: builds the Debian package for ARCH (default:
# this machine's) from these sources with scripts/package (lintian errors fail it there), checks
# what it says of itself and which files it holds, unpacks it into PACKAGE_ROOT (a scratch root,
# kept for the mate-screensaver recipe) and runs the program installed there: its argument rules
# without a display, then one run by its hack-directory name on the X server named by DISPLAY,
# ended with SIGTERM. The program runs through VORNELLE_EMULATOR where that is set.
set -u
source=$1
version=$2
root=$3
arch=${4:-$(dpkg --print-architecture)}
emulator=${VORNELLE_EMULATOR:-}
work=$(mktemp -d)
saverPid=""
trap 'kill $saverPid 2>/dev/null; rm -rf "$work"' EXIT
failures=0
# As in a login session: without a runtime directory the Wayland client library that SDL
# tries first complains on standard error.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$source/scripts/package" --arch "$arch" "$work" >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "FAIL: scripts/package"
    exit 1
fi
grep -E '^[EWIPX]: ' "$work/package.log" # lintian's remarks, if any
deb=$work/vornelle_${version}_$arch.deb
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"), only: $(ls "$work")"; exit 1; }

# --- What the package says of itself. Depends comes from the libraries the program links.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = vornelle ] || fail "Package is [$(field Package)]"
[ "$(field Version)" = "$version" ] || fail "Version [$(field Version)], the sources say $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is [$(field Architecture)]"
[ "$(field Section)" = x11 ] || fail "Section is [$(field Section)]"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | grep -q screensaver || fail "Description [$(field Description)]"
depends=$(field Depends)
dependedOn=" $(sed -E 's/ \([^)]*\)//g; s/,//g' <<<"$depends") "
for needed in libc6 libsdl1.2debian libx11-6 libwayland-client0 libopengl0 libgl1 libstdc++6; do
    [[ $dependedOn == *" $needed "* ]] || fail "Depends lacks $needed: [$depends]"
done

# --- Its files, links with their targets; directories aside. Nothing more, nothing less.
dpkg-deb --contents "$deb" |
    awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' | sort >"$work/files"
sort >"$work/expected" <<'LIST'
./usr/bin/vornelle
./usr/libexec/xscreensaver/vornelle -> ../../bin/vornelle
./usr/share/applications/screensavers/vornelle.desktop
./usr/share/doc/vornelle/changelog.gz
./usr/share/doc/vornelle/copyright
./usr/share/man/man6/vornelle.6.gz
./usr/share/xscreensaver/config/vornelle.xml
LIST
diff -u "$work/expected" "$work/files" >"$work/files.diff" ||
    fail "the file list differs from the expected one: $(cat "$work/files.diff")"

# --- Unpacked into a scratch root.
rm -rf "$root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: cannot unpack"; exit 1; }
program=$root/usr/bin/vornelle
hack=$root/usr/libexec/xscreensaver/vornelle
[ "$(readlink -f "$hack")" = "$(readlink -f "$program")" ] || fail "the hack is not the program"

theme=$root/usr/share/applications/screensavers/vornelle.desktop
for line in "Type=Application" "Name=Vornelle" "Exec=/usr/libexec/xscreensaver/vornelle /s" \
    "TryExec=/usr/libexec/xscreensaver/vornelle" "Categories=Screensaver;" \
    "OnlyShowIn=MATE;"; do
    grep -qxF "$line" "$theme" || fail "the theme file lacks [$line]"
done
grep -q '^Comment=.' "$theme" || fail "the theme file has no Comment"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$theme" || fail "desktop-file-validate complains"
fi
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/vornelle.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the compressed manual page: $warnings"
zcat "$root/usr/share/doc/vornelle/changelog.gz" | head -n1 | grep -qF "vornelle ($version)" ||
    fail "the changelog does not begin with version $version"
grep -q '^License: ' "$root/usr/share/doc/vornelle/copyright" ||
    fail "the copyright file has no License"

# --- The installed program's argument rules: only a first argument beginning with /s runs;
# without a display that run fails, saying so; a malformed window id is refused first.
expectRun() {
    local expectedStatus=$1 expectedError=$2 status=0
    shift 2
    env -u DISPLAY -u WAYLAND_DISPLAY -u XSCREENSAVER_WINDOW $emulator "$@" \
        >"$work/out" 2>"$work/err" || status=$?
    [ "$status" = "$expectedStatus" ] || fail "$*: status $status, expected $expectedStatus"
    [ "$(cat "$work/err")" = "$expectedError" ] || fail "$*: stderr [$(cat "$work/err")]"
    [ -s "$work/out" ] && fail "$*: wrote to stdout [$(cat "$work/out")]"
}
expectRun 0 "" "$program"
for argument in /p /c /S s/ -s "" /; do
    expectRun 0 "" "$program" "$argument"
    expectRun 0 "" "$hack" "$argument" --window-id banana
done
expectRun 255 "$(printf 'SDL ERROR:\nUnable to init SDL')" "$hack" /s
malformed='is not a window id (expected a number such as 0x2a00007)'
expectRun 255 "vornelle: --window-id \"banana\" $malformed" "$program" /s --window-id banana

# --- One real run, by the name mate-screensaver uses, on the X server.
$emulator "$hack" /s 2>"$work/run.err" &
saverPid=$!
for _ in $(seq 600); do
    xdotool search --onlyvisible --name '^Vornelle$' >/dev/null 2>&1 && break
    kill -0 "$saverPid" 2>/dev/null || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Vornelle$' >/dev/null 2>&1 ||
    fail "the installed program showed no window [$(cat "$work/run.err")]"
kill -TERM "$saverPid"
status=0
wait "$saverPid" || status=$?
saverPid=""
[ "$status" = 0 ] || fail "SIGTERM: status $status [$(cat "$work/run.err")]"

[ "$failures" -eq 0 ] && echo "package: all passed ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
exit "$failures"
