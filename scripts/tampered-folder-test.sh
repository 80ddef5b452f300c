#!/usr/bin/env bash
# The release tool (the test tool carrying the test signer's certificate) on a demo installation
# whose update folder scripts/sign-update-folder.sh signed: each tampered copy of the folder is
# refused with 13 before any change, naming the file; the signed folder updates and its identity
# becomes the detection value; an older re-signed update and an installation newer than the update
# end as the distribution guide says.
#   bash scripts/tampered-folder-test.sh BUILD    (from ctest, in the test command's Wine session)
set -uo pipefail

build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
signer=$build/tests/signer
demo='C:\kv-signed'
folder=$WINEPREFIX/drive_c/kv-signed
update=$folder/Update
product='HKCU\SOFTWARE\Orvalis GmbH\Kolvano'

trap 'rm -rf "$folder"' EXIT
rm -rf "$folder"
wine "$build/bin/make_demo.exe" "$demo" >/dev/null </dev/null || { echo "make_demo failed"; exit 1; }
cp "$build/bin/Kolvano-UpdateTool-pinned.exe" "$update/Kolvano-UpdateTool.exe"
sign() {
    SIGN_PFX=$signer/${1}.pfx SIGN_PASSWORD=wegwerf SEQUENCE=$2 bash "$root/scripts/sign-update-folder.sh" "$update" |
        sed -n 's/^Identity (AppliedUpdateId): //p'
}
identity=$(sign signer 100)
cp -a "$update" "$folder/Update.signed"

installation() {
    (cd "$folder/Kolvano" && find . -type f -exec md5sum {} + | sort)
    wine reg query "$product" /s </dev/null 2>/dev/null | tr -d '\r'
}
value() {
    wine reg query "$product" /v "$1" </dev/null 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name { print $3 }'
}
before=$(installation)

status=0
# The product's registry value NAME must be EXPECTED; otherwise says what was read.
expect_value() {
    local name=$1 expected=$2 what=$3 actual
    actual=$(value "$name")
    [ "$actual" = "$expected" ] || { echo "DIFFERS: $what: $name is \"$actual\", not $expected"; status=1; }
}
count=0
run() {
    local what=$1 code=$2 text=$3
    shift 3
    rm -f "$folder/run.log"
    wine "$demo\\Update\\Kolvano-UpdateTool.exe" /quiet "$@" "/log:$demo\\run.log" </dev/null
    local actual=$? log
    log=$(iconv -f cp1252 -t utf-8 "$folder/run.log" 2>/dev/null)
    count=$((count + 1))
    # The shell sees the low eight bits of an exit code (1638 as 102).
    if [ "$actual" != "$((code % 256))" ] || ! grep -q -- "$text" <<<"$log"; then
        echo "DIFFERS: $what: exit $actual (expected $code, with \"$text\")"
        tail -8 <<<"$log"
        status=1
        return 1
    fi
    echo "$what: exit $actual as expected"
}
same() {
    local now
    now=$(installation)
    [ "$now" = "$before" ] && return
    echo "DIFFERS: $1 changed the installation:"
    diff <(echo "$before") <(echo "$now") | head -8
    status=1
}

# Each row: what, the change to a fresh copy of the signed folder, the text the log must hold.
cases=(
    "changed pbfdec.dll|printf x >>pbfdec.dll|Die Datei pbfdec.dll im Update-Ordner ist verändert"
    "changed kolvano3.exe|printf x >>kolvano3.exe|Die Datei kolvano3.exe im Update-Ordner ist verändert"
    "changed document|printf 'Stand 1999' >Merkblatt_2026.pdf|Merkblatt_2026.pdf: erwartet SHA-256 [0-9a-f]* (21 Bytes), gefunden"
    "missing listed file|rm qzmail.dll|Im Update-Ordner fehlt die Datei qzmail.dll"
    "extra library|cp pbfdec.dll version.dll|Die Datei version.dll im Update-Ordner gehört nicht zum Update"
    "changed manifest line|sed -i 's/^version .*/version 7.00.09.09\r/' update.manifest|anderen Inhalt der Dateiliste"
    "look-alike signer|sign lookalike 100 >/dev/null|nicht vom Zertifikat des Herstellers"
    "no signature|rm update.manifest.p7s|update.manifest.p7s fehlt"
    "no manifest|rm update.manifest update.manifest.p7s|keine signierte Dateiliste"
)
for row in "${cases[@]}"; do
    IFS='|' read -r what change text <<<"$row"
    rm -rf "$update" && cp -a "$folder/Update.signed" "$update"
    (cd "$update" && eval "$change")
    run "$what" 13 "$text" && same "$what"
done

rm -rf "$update" && cp -a "$folder/Update.signed" "$update"
run "signed folder, /check" 0 "Update-Ordner geprüft: 1[0-9] Dateien wie in der signierten Dateiliste, Kennung $identity" /check
expect_value CheckedUpdateId "$identity" "the signed /check"
run "signed folder" 0 "Die Dateien wurden erfolgreich aktualisiert."
expect_value AppliedUpdateId "$identity" "the signed run"
expect_value AppliedUpdateSequence 100 "the signed run"
before=$(installation)
run "signed folder again" 0 "schon eingespielt"
same "a second run"

sign signer 99 >/dev/null
run "older update re-signed" 13 "(Folgenummer 99) ist älter als das schon eingespielte (Folgenummer 100)"
same "an older update"

# A PC with a newer Kolvano: 1638, which the guide maps to success; detected all the same.
rm -rf "$update" && cp -a "$folder/Update.signed" "$update"
cp "$build/stubs/version_7_1_0_0.exe" "$folder/Kolvano/kolvano3.exe"
wine reg delete "$product" /v AppliedUpdateId /f >/dev/null 2>&1 </dev/null
run "newer installation" 1638 "kann damit nicht durch dieses Update"
expect_value AppliedUpdateId "$identity" "the PC with a newer Kolvano"

[ $status -eq 0 ] && echo "signed update folder: $count of $count as expected"
exit $status
