#!/usr/bin/env bash
# Rehearses a roll-out by software distribution: installs what is needed, builds, then prepares
# one demo PC after another in a private Wine prefix (up to date, plain update, wrong or missing
# key, a held program file, older update, no installation, missing library, second instance,
# ...), starts the tool on each as a distribution system does (/quiet, with /log:) and prints
# one line per PC. Exits non-zero when any PC ended otherwise than expected.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
source "$root/scripts/build-env.sh"
source "$root/scripts/wine-env.sh"
wine_toolchain "$build"
configure_and_build "$build" Debug "$(nproc)" "$TOOLCHAIN" -- Kolvano-UpdateTool fleet

work="$build/fleet"
mkdir -p "$work"
# Quiet runs show nothing; the PC with a second instance opens the tool's window first.
wine_session "$work"

status=0
# Output to a file: a pipe would stay open for as long as any Wine process holds it.
wine "$build/bin/fleet.exe" 'C:\Kolvano-Flotte' </dev/null >"$work/fleet.txt" 2>&1 || status=$?
iconv -f CP1252 -t UTF-8 "$work/fleet.txt"
echo "Logs of each PC: $WINEPREFIX/drive_c/Kolvano-Flotte/Protokolle/"
exit $status
