#!/bin/bash
# install.sh BUILD_DIR: installs into a fresh prefix and checks what lands there: the program,
# also in the hack directory, a manual page that renders without warnings and says what a user
# needs, a settings file an XScreenSaver dialog can read, and a mate-screensaver theme file that
# names the hack under that prefix. VORNELLE_EMULATOR, where set, runs the installed program.
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: install"; exit 1; }

program=$prefix/bin/vornelle
page=$prefix/share/man/man6/vornelle.6
settings=$prefix/share/xscreensaver/config/vornelle.xml
hack=$prefix/libexec/xscreensaver/vornelle
theme=$prefix/share/applications/screensavers/vornelle.desktop

[ -x "$program" ] || fail "no program at $program"
${VORNELLE_EMULATOR:-} "$program" /p || fail "the installed program, started without /s, did not end with 0"
[ "$(readlink -f "$hack")" = "$(readlink -f "$program")" ] || fail "$hack is not the program"
grep -qxF "Exec=$hack /s" "$theme" || fail "the theme file does not run $hack /s"
grep -qxF "TryExec=$hack" "$theme" || fail "the theme file does not try $hack"

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man cannot render $page"
[ -z "$warnings" ] || fail "man warns: $warnings"
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
for needed in "vornelle /s" "--window-id" "EXIT STATUS" "255" "XSCREENSAVER_WINDOW" \
    "xautolock -time 5 -locker 'vornelle /s'" "xss-lock -- vornelle /s" "programs:" \
    "xset dpms" "swayidle -w timeout 300 'vornelle /s'"; do
    grep -qF -- "$needed" <<<"$text" || fail "the manual page does not mention [$needed]"
done

if [ ! -f "$settings" ]; then
    fail "no settings file at $settings"
else
    xmllint --noout "$settings" || fail "the settings file is not well-formed"
    [ "$(xmllint --xpath 'string(/screensaver/@name)' "$settings")" = vornelle ] ||
        fail "the settings file does not name vornelle"
    [ "$(xmllint --xpath 'string(/screensaver/command/@arg)' "$settings")" = /s ] ||
        fail "the settings file does not run it with /s"
    description=$(xmllint --xpath 'normalize-space(/screensaver/_description)' "$settings")
    [ "${#description}" -gt 80 ] || fail "the settings file's description is [$description]"
fi

[ "$failures" -eq 0 ] && echo "install: all passed"
exit "$failures"
