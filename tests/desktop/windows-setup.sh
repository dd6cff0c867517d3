#!/bin/bash
# windows-setup.sh SCR VERSION COPYRIGHT_FILE: what a Windows user gets, read from the
# files.
# - The program's resources, read with wrestool: string 1 (the name the Screen Saver settings
#   list), the version and makers (as COPYRIGHT_FILE, debian/copyright, states them), the
#   icon's sizes and the manifest's requests.
. "$(dirname "$0")/../onscreen/lib.sh"
scr=$1
version=$2
copyrightFile=$3

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
[ "$sizes" = "256,256 48,48 32,32 16,16 " ] || fail "icon sizes: $sizes"

wrestool -x --raw --type=24 --name=1 "$scr" >"$workDir/manifest.xml"
xmllint --noout "$workDir/manifest.xml" || fail "the manifest is no well-formed XML"
for line in '<dpiAware [^>]*>true/pm</dpiAware>' '<dpiAwareness [^>]*>PerMonitorV2[,<]' \
    'requestedExecutionLevel level="asInvoker"' \
    'supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"' \
    'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
    grep -q "$line" "$workDir/manifest.xml" || fail "the manifest lacks $line"
done
echo "PASS: string 1, version $version, the makers, icons of $sizes and the manifest"

