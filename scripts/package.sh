#!/usr/bin/env bash
# Builds the tool in release mode and writes the release package:
#   build-release/Kolvano-UpdateTool-<version>.zip
# with the tool, a commented example update.ini, the guide for preparing an update folder and
# the guide for software distribution.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF
cmake --build "$build" -j"$(nproc)" --target Kolvano-UpdateTool
i686-w64-mingw32-strip "$build/bin/Kolvano-UpdateTool.exe"

version=$(sed -n 's/^#define TOOL_VERSION_TEXT *"\(.*\)"/\1/p' "$build/generated/resources/version.h")
stage="$build/package/Kolvano-UpdateTool-$version"
rm -rf "$build/package"
mkdir -p "$stage"
cp "$build/bin/Kolvano-UpdateTool.exe" "$stage/"
cp "$root/package/update.ini" "$root/package/ANLEITUNG-UPDATEORDNER.md" "$root/package/ANLEITUNG-VERTEILUNG.md" \
    "$stage/"

zipfile="$build/Kolvano-UpdateTool-$version.zip"
rm -f "$zipfile"
(cd "$build/package" && zip -q -r "$zipfile" "Kolvano-UpdateTool-$version")
unzip -l "$zipfile"
echo "Package: $zipfile"
