#!/bin/bash
# windows-setup.sh SCR SETUP VERSION COPYRIGHT_FILE: what a Windows user gets, read from the
# files and tried under Wine, in the Wine session scripts/wine-session started on the X server
# named by DISPLAY.
# - The program's resources, read with wrestool: string 1 (the name the Screen Saver settings
#   list), the version and makers (as COPYRIGHT_FILE, debian/copyright, states them), the
#   icon's sizes and the manifest's requests; and no export table (read with objdump, OBJDUMP).
# - The interactive installer waits on its first page, having written nothing, and Cancel leaves
#   nothing (VORNELLE_KEEP_SHOTS, a directory, keeps a screenshot of the page).
# - The installer's round trip: a silent install puts vornelle.scr into System32 and registers
#   its uninstaller, choosing no screensaver; the installed copy runs with /s and ends on Escape
#   with 0; a silent uninstall leaves nothing of ours, and forgets Vornelle as the choice. Once
#   more with another screensaver chosen meanwhile: the uninstall leaves that choice alone.
# - Installing over a running copy and uninstalling during a run, with a copy that answers and
#   one that does not, and installing into a System32 that cannot be written: each ends with
#   the file current or gone, or a status that is not 0 and nothing half-done.
. "$(dirname "$0")/../onscreen/lib.sh"
scr=$1
setup=$2
version=$3
copyrightFile=$4
uninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle'
desktopKey='HKCU\Control Panel\Desktop'

# --- Resources.
wrestool -l "$scr" >"$workDir/resources" || fail "wrestool cannot read $scr"
for resource in "--type=6 --name=1" "--type=14 --name=1" "--type=16 --name=1" \
    "--type=24 --name=1"; do
    grep -q -- "^$resource " "$workDir/resources" ||
        fail "no resource $resource in $(cat "$workDir/resources")"
done

hexOf() { od -An -tx1 | tr -d ' \n'; }
# String 1 is the second of its block's counted UTF-16 strings; the first, string 0, is empty.
expected=00000800$(printf Vornelle | iconv -t UTF-16LE | hexOf)
strings=$(wrestool -x --raw --type=6 --name=1 "$scr" | head -c 20 | hexOf)
[ "$strings" = "$expected" ] || fail "string 1 is not \"Vornelle\": $strings"

# versionValue KEY: the value of a VERSIONINFO string.
versionValue()
{
    wrestool -x --raw --type=16 "$scr" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' |
        awk -v key="$1" 'want && NF { print; exit } $0 ~ key "$" { want = 1 }'
}
copyright=$(sed -n 's/^Copyright: *//p' "$copyrightFile")
expectValue()
{
    local value
    value=$(versionValue "$1")
    [ "$value" = "$2" ] || fail "VERSIONINFO $1 is [$value], expected [$2]"
}
expectValue ProductName Vornelle
expectValue FileVersion "$version"
expectValue ProductVersion "$version"
expectValue LegalCopyright "Copyright $copyright"
expectValue CompanyName "${copyright#[0-9]* }"
[ -n "$(versionValue FileDescription)" ] || fail "VERSIONINFO has no FileDescription"

wrestool -x --type=14 --name=1 -o "$workDir/icon.ico" "$scr" || fail "cannot extract the icon"
sizes=$(identify -format '%w,%h ' "$workDir/icon.ico")
sizes=${sizes% }
[ "$sizes" = "256,256 48,48 32,32 16,16" ] || fail "icon sizes: $sizes"

wrestool -x --raw --type=24 --name=1 "$scr" >"$workDir/manifest.xml"
xmllint --noout "$workDir/manifest.xml" || fail "the manifest is no well-formed XML"
for line in '<dpiAware [^>]*>true/pm</dpiAware>' '<dpiAwareness [^>]*>PerMonitorV2[,<]' \
    'requestedExecutionLevel level="asInvoker"' \
    'supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"' \
    'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
    grep -q "$line" "$workDir/manifest.xml" || fail "the manifest lacks $line"
done
echo "PASS: string 1, version $version, the makers, icons of $sizes and the manifest"

# A program exports nothing; libraries linked in statically may still mark theirs for export.
"${OBJDUMP:-x86_64-w64-mingw32-objdump}" -p "$scr" >"$workDir/headers" ||
    fail "objdump cannot read $scr"
exported=$(grep -E '^[[:space:]]*\[ *[0-9]+\] [A-Za-z_]' "$workDir/headers" | awk '{ print $NF }')
! grep -q '^There is an export table' "$workDir/headers" ||
    fail "the program exports $(wc -l <<<"$exported") names: $(head -n3 <<<"$exported" | xargs) ..."
echo "PASS: no export table"

# --- The installer's round trip. Drive C: is shared with other sessions: nothing of ours may
# be left there, even by a failed run.
drive=$WINEPREFIX/dosdevices/c:
installed=$drive/windows/system32/vornelle.scr
uninstaller='C:\Program Files\Vornelle\uninstall.exe'
systemDir=$(readlink -f "$drive")/windows/system32
removeLeftovers()
{
    chattr -i "$systemDir" 2>/dev/null
    rm -rf "$installed" "$installed.new" "$drive/Program Files/Vornelle"
}
trap 'removeLeftovers; cleanUp' EXIT
[ ! -e "$installed" ] || fail "vornelle.scr is in System32 before the installer ran"

# regValue KEY NAME: the value's data as reg prints it (its lines end in CR LF).
regValue()
{
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { $1 = $2 = ""; sub(/^ +/, ""); print }'
}
regKeyExists() { wine reg query "$1" >/dev/null 2>&1; }

nothingOfOursLeft()
{
    [ ! -e "$installed" ] && [ ! -e "$installed.new" ] &&
        [ ! -e "$drive/Program Files/Vornelle" ] && ! regKeyExists "$uninstallKey"
}

# --- The interactive installer asks first.
setupWindow() { xdotool search --onlyvisible --name '^Vornelle .* Setup$' 2>/dev/null | head -n1; }
setupWindowShown() { [ -n "$(setupWindow)" ]; }
wine "$setup" &
setupPid=$!
helperPids+=("$setupPid")
waitFor "the installer's first page" setupWindowShown
sleep 1
nothingOfOursLeft || fail "the installer wrote before it was asked to install"
[ -z "${VORNELLE_KEEP_SHOTS:-}" ] || screenshot "$VORNELLE_KEEP_SHOTS/setup-welcome.png"
xdotool key Escape
status=0
wait "$setupPid" || status=$?
[ "$status" -ne 0 ] || fail "the installer cancelled on its first page exited with 0"
nothingOfOursLeft || fail "the installer cancelled on its first page left something"
echo "PASS: the interactive installer waited on its first page; Cancel left nothing"

# --- The silent round trip.
wine "$setup" /S || fail "the silent install failed"
cmp -s "$scr" "$installed" || fail "System32 holds no copy of vornelle.scr"
[ -z "$(regValue "$desktopKey" SCRNSAVE.EXE)" ] ||
    fail "the silent install chose a screensaver: [$(regValue "$desktopKey" SCRNSAVE.EXE)]"
for value in "DisplayName=Vornelle" "DisplayVersion=$version" "Publisher=${copyright#[0-9]* }" \
    'DisplayIcon=C:\windows\system32\vornelle.scr,0' "UninstallString=\"$uninstaller\""; do
    [ "$(regValue "$uninstallKey" "${value%%=*}")" = "${value#*=}" ] ||
        fail "Uninstall's ${value%%=*} is [$(regValue "$uninstallKey" "${value%%=*}")]"
done
[ -n "$(regValue "$uninstallKey" EstimatedSize)" ] || fail "Uninstall has no EstimatedSize"
echo "PASS: the silent install put it in System32 and registered its uninstaller, choosing nothing"

# The installed copy, started as the on-screen tests start the program.
binary=$workDir/installed
wineRun=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run
cat >"$binary" <<LAUNCHER
#!/bin/sh
exec '$wineRun' 'C:\\windows\\system32\\vornelle.scr' "\$@"
LAUNCHER
chmod +x "$binary"
startSaverOnScreen
xdotool key Escape
waitForExit 0
echo "PASS: the installed copy ran with /s and ended on Escape with 0"

# As the Screen Saver Settings record the choice. The uninstaller runs on from a copy of
# itself: wait for its work to be done.
wine reg add "$desktopKey" /v SCRNSAVE.EXE /d 'C:\windows\system32\vornelle.scr' /f >/dev/null
wine "$uninstaller" /S || fail "the silent uninstall failed"
waitFor "the uninstaller removes the file, its folder and its key" nothingOfOursLeft
[ -z "$(regValue "$desktopKey" SCRNSAVE.EXE)" ] || fail "SCRNSAVE.EXE still names vornelle.scr"
echo "PASS: the silent uninstall left nothing of ours"

wine "$setup" /S || fail "the second silent install failed"
wine reg add "$desktopKey" /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f >/dev/null
wine "$uninstaller" /S || fail "the second silent uninstall failed"
waitFor "the uninstaller removes the file, its folder and its key" nothingOfOursLeft
[ "$(regValue "$desktopKey" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] ||
    fail "the uninstall took away the screensaver chosen since:" \
        "[$(regValue "$desktopKey" SCRNSAVE.EXE)]"
echo "PASS: the uninstall left another screensaver chosen since alone"

# --- A copy running while the installer or the uninstaller works, and a System32 that cannot be
# written. An uninstaller run with _?= (the folder, by its short name: Wine would quote a long
# one) works in place, so that its status is its own, and leaves only itself in the folder; the
# copy of itself it would otherwise start leaves its launcher's status always 0.
folder="$drive/Program Files/Vornelle"
shortName() { winepath -s "$1" | tr -d '\r'; }
sessionManagerKey='HKLM\System\CurrentControlSet\Control\Session Manager'
markedForRestart() { regValue "$sessionManagerKey" PendingFileRenameOperations | grep -qi 'vornelle\.scr'; }
fileState()
{
    if [ ! -e "$installed" ]; then
        echo gone
    elif markedForRestart; then
        echo removed-at-restart
    elif cmp -s "$scr" "$installed"; then
        echo current
    else
        echo older
    fi
}
entryState() { regKeyExists "$uninstallKey" && echo yes || echo no; }

# prepare BEFORE: the copy (older: another build) and how it runs (running: it answers a close
# message; hung: it is stopped and answers nothing); unwritable: System32 before any install.
prepare()
{
    if [ "$1" = unwritable ]; then
        chattr +i "$systemDir" 2>/dev/null
        return
    fi
    wine "$setup" /S || fail "the silent install failed"
    case $1 in older-*) printf 'another build' >>"$installed" ;; esac
    startSaverOnScreen
    case $1 in *hung) kill -STOP "$saverPid" ;; esac
}

undoCase()
{
    [ -z "$saverPid" ] || kill -CONT "$saverPid" 2>/dev/null
    stopSaver
    removeLeftovers
    wine reg delete "$uninstallKey" /f >/dev/null 2>&1
    wine reg delete "$sessionManagerKey" /v PendingFileRenameOperations /f >/dev/null 2>&1
}

while read -r before action expectedStatus expectedFile expectedEntry; do
    if [ "$before" = unwritable ] && ! chattr +i "$systemDir" 2>/dev/null; then
        echo "SKIP: $action into an unwritable System32: chattr +i needs root and ext2/3/4"
        continue
    fi
    wine reg add "$desktopKey" /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f >/dev/null
    prepare "$before"
    status=0
    if [ "$action" = install ]; then
        wine "$setup" /S || status=$?
    else
        wine "$uninstaller" /S "_?=$(shortName 'C:\Program Files\Vornelle')" || status=$?
        if [ "$expectedEntry" = no ]; then
            [ "$(ls "$folder")" = uninstall.exe ] ||
                fail "$action with $before left in its folder: $(ls "$folder" | xargs)"
            rm -r "$folder"
        fi
    fi
    outcome="status $status, file $(fileState), entry $(entryState)"
    # A Windows status reaches us as its lowest 8 bits: 3010 as 194.
    [ "$outcome" = "status $((expectedStatus % 256)), file $expectedFile, entry $expectedEntry" ] ||
        fail "$action with $before: $outcome; expected $expectedStatus, $expectedFile, $expectedEntry"
    [ ! -e "$installed.new" ] || fail "$action with $before left vornelle.scr.new behind"
    [ "$(regValue "$desktopKey" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] ||
        fail "$action with $before changed the chosen screensaver"
    case $before in *running) waitForExit 0 ;; esac
    undoCase
    echo "PASS: $action with $before: $outcome"
done <<'CASES'
older-running install   0    current            yes
running       uninstall 0    gone               no
older-hung    install   2    older              yes
hung          uninstall 3010 removed-at-restart no
unwritable    install   2    gone               no
CASES
