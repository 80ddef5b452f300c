#!/usr/bin/env bash
# Installs what is needed, builds, writes a demo installation into a private Wine prefix and
# starts the tool on it. With a display (DISPLAY set) the window is yours to work. Without one,
# or with --headless, the tool runs under Xvfb: Start is pressed, every box is answered with OK,
# and screenshots before and after the run and the status list land in build/demo/output.
# --dpi N shows the tool at that display scale (96 is 100 %, 144 is 150 %). DEMO_FOLDER puts the
# demo installation into another folder of drive C: (a deep one shows how long paths look).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
headless=no
dpi=96
while [ $# -gt 0 ]; do
    case "$1" in
    --headless) headless=yes ;;
    --dpi)
        dpi=${2:?"--dpi needs a number, 96 for 100 %, 144 for 150 %"}
        shift
        ;;
    *)
        echo "usage: bash scripts/demo.sh [--headless] [--dpi N]" >&2
        exit 2
        ;;
    esac
    shift
done
if [ -z "${DISPLAY:-}" ]; then
    headless=yes
fi
if ! [[ "$dpi" =~ ^[0-9]+$ ]] || [ "$dpi" -lt 96 ] || [ "$dpi" -gt 480 ]; then
    echo "--dpi takes a number from 96 to 480" >&2
    exit 2
fi

bash "$root/scripts/install-deps.sh"
source "$root/scripts/build-env.sh"
source "$root/scripts/wine-env.sh"
wine_toolchain "$build"
configure_and_build "$build" Debug "$(nproc)" "$TOOLCHAIN" -- Kolvano-UpdateTool make_demo run_demo

demo="$build/demo"
out="$demo/output"
mkdir -p "$demo"
wine_env "$demo"
cleanup() {
    wine_stop
    xvfb_stop
}
trap cleanup EXIT
if [ "$headless" = yes ]; then
    xvfb_start
fi
wine_start

# Windows' display scale, as the prefix's programs read it when they start.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
folder=${DEMO_FOLDER:-'C:\Kolvano-Demo'}
tool=$(wine "$build/bin/make_demo.exe" "$folder" </dev/null | tr -d '\r')
echo "Demo installation: $folder (tool: $tool)"

if [ "$headless" = no ]; then
    wine "$tool" </dev/null
    exit 0
fi

rm -rf "$out"
mkdir -p "$out"
# Output to a file: a pipe would stay open for as long as any Wine process holds it.
wine "$build/bin/run_demo.exe" "$tool" "$(wine winepath -w "$out" 2>/dev/null </dev/null | tr -d '\r')" </dev/null >"$out/run_demo.log" 2>&1
for shot in "$out"/*.bmp; do
    convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
for list in status boxes; do
    iconv -f CP1252 -t UTF-8 "$out/$list.txt" >"$out/$list.utf8.txt"
done
echo
echo "Status list (newest line first):"
cat "$out/status.utf8.txt"
echo
echo "Screenshots ($dpi DPI): $out/before.png $out/after.png"
echo "Status list: $out/status.utf8.txt (as the tool wrote it, code page 1252: $out/status.txt)"
