#!/usr/bin/env bash
# Installs what is needed, builds, writes a demo installation into a private Wine prefix and
# starts the tool on it. With a display (DISPLAY set) the window is yours to work. Without one,
# or with --headless, the tool runs under Xvfb: Start is pressed, every box is answered with OK,
# and screenshots before and after the run and the status list land in build/demo/output.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
headless=no
if [ "${1:-}" = "--headless" ] || [ -z "${DISPLAY:-}" ]; then
    headless=yes
fi

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" -j"$(nproc)" --target Kolvano-UpdateTool make_demo run_demo

source "$root/scripts/wine-env.sh"
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

tool=$(wine "$build/bin/make_demo.exe" 'C:\Kolvano-Demo' </dev/null | tr -d '\r')
echo "Demo installation: $WINEPREFIX/drive_c/Kolvano-Demo (tool: $tool)"

if [ "$headless" = no ]; then
    wine "$tool" </dev/null
    exit 0
fi

rm -rf "$out"
mkdir -p "$out"
# Output to a file: a pipe would stay open for as long as any Wine process holds it.
wine "$build/bin/run_demo.exe" "$tool" "$(winepath -w "$out" 2>/dev/null)" </dev/null >"$out/run_demo.log" 2>&1
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
echo "Screenshots: $out/before.png $out/after.png"
echo "Status list: $out/status.utf8.txt (as the tool wrote it, code page 1252: $out/status.txt)"
