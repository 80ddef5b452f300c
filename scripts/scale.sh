#!/usr/bin/env bash
# A window run and a quiet run of the tool over the same demo installation at scale, under Wine:
#   bash scripts/scale.sh [farms] [KB per data file]
# Defaults: 1000 farms of 256 KB. The installation is made anew before each run, in a Wine prefix
# of its own in memory (/dev/shm where there is one): on a shared machine the disk's delays vary
# more than the difference between the two runs. PLACE=disk puts the prefix below the build
# folder instead, as on a user's PC; MODES picks the timings (window, quiet, start: four starts
# until the window shows every farm with Start on).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
farms=${1:-1000}
size=${2:-256}

bash "$root/scripts/install-deps.sh"
source "$root/scripts/build-env.sh"
source "$root/scripts/wine-env.sh"
wine_toolchain "$build"
configure_and_build "$build" Debug "$(nproc)" "$TOOLCHAIN" -- make_demo scale_bench

case "${PLACE:-memory}" in
memory)
    base=/dev/shm
    [ -d "$base" ] || base=$build
    ;;
disk) base=$build ;;
*)
    echo "PLACE is memory or disk" >&2
    exit 2
    ;;
esac
place=$(mktemp -d "$base/kv-scale.XXXXXX")
wine_session "$place"
trap 'wine_stop; xvfb_stop; rm -rf "$place"' EXIT

demo='C:\kv-scale'
tool="$demo"'\Update\Kolvano-UpdateTool.exe'
for mode in ${MODES:-window quiet}; do
    wine "$build/bin/make_demo.exe" "$demo" "$farms" "$size" >/dev/null </dev/null
    wine "$build/bin/scale_bench.exe" "$mode" "$tool" </dev/null
done
