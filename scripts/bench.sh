#!/usr/bin/env bash
# Builds and runs the data-phase benchmark under Wine:
#   bash scripts/bench.sh [N M S] [peak MB]
# Defaults: 4 farms with 3 data CSVs of 8 MB, and a 200 MB data CSV for the peak working set.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
farms=${1:-4}
files=${2:-3}
size=${3:-8}
peak=${4:-200}

bash "$root/scripts/install-deps.sh"
source "$root/scripts/build-env.sh"
source "$root/scripts/wine-env.sh"
wine_toolchain "$build"
configure_and_build "$build" Release "$(nproc)" "$TOOLCHAIN" -- data_bench pbfdec

wine_env "$build"
trap wine_stop EXIT
wine_start

wine "$build/bin/data_bench.exe" "$farms" "$files" "$size" </dev/null
wine "$build/bin/data_bench.exe" --peak "$peak" </dev/null
