#!/usr/bin/env bash
# The installation on a drive with too little room for the run: /check refuses with 9 and names
# the drive, the room needed and the room free; with room enough, the run succeeds.
#   bash scripts/small-drive-test.sh BUILD    (from ctest, in the test command's Wine session)
# The small drive is a tmpfs mounted on the installation folder, which needs root; elsewhere the
# test is skipped (exit 77).
set -uo pipefail

build=$1
demo='C:\kv-small'
folder=$WINEPREFIX/drive_c/kv-small
program=$folder/Kolvano
tool="$demo"'\Update\Kolvano-UpdateTool.exe'

cleanup() {
    mountpoint -q "$program" && umount "$program"
    rm -rf "$folder"
}
trap cleanup EXIT
cleanup

wine "$build/bin/make_demo.exe" "$demo" 0 256 >/dev/null </dev/null || { echo "make_demo failed"; exit 1; }
mv "$program" "$program.orig" && mkdir "$program"
if ! mount -t tmpfs -o size=12m tmpfs "$program" 2>/dev/null; then
    echo "skipped: cannot mount a small drive here (not root?)"
    exit 77
fi
cp -a "$program.orig/." "$program/"

status=0
expect() {
    local what=$1 code=$2 actual=$3 text=${4:-}
    local log
    log=$(iconv -f cp1252 -t utf-8 "$folder/run.log")
    if [ "$actual" != "$code" ] || { [ -n "$text" ] && ! grep -q "$text" <<<"$log"; }; then
        echo "DIFFERS: $what: exit $actual (expected $code)"
        tail -5 <<<"$log"
        status=1
    else
        echo "$what: exit $actual as expected"
    fi
}

wine "$tool" /check /quiet "/log:$demo\\run.log" </dev/null
expect "12 MB drive, /check" 9 $? "Auf dem Laufwerk von C:.kv-small.Kolvano.* sind nur 11 MB frei; das Update braucht dort [0-9]* MB"
before=$(cd "$program" && find . -type f -exec md5sum {} + | sort)

wine "$tool" /quiet "/log:$demo\\run.log" </dev/null
expect "12 MB drive, run" 9 $?
[ "$(cd "$program" && find . -type f -exec md5sum {} + | sort)" = "$before" ] || { echo "DIFFERS: the refused run changed files"; status=1; }

mount -o remount,size=64m "$program"
wine "$tool" /quiet "/log:$demo\\run.log" </dev/null
expect "64 MB drive, run" 0 $? "Die Dateien wurden erfolgreich aktualisiert."

[ $status -eq 0 ] && echo "small drive: 3 of 3 as expected"
exit $status
