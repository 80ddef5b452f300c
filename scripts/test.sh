#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test under Wine in a private prefix.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" -j"$(nproc)"

# The product is 32-bit; a 64-bit compile of it keeps the code free of pointer-size assumptions.
# Then the Release configuration of what the README's commands build, and the package signed
# with a throwaway certificate. Both run beside the tests, at low priority, since those mostly
# wait for Wine.
(
    cmake -S "$root" -B "$build-x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF
    nice -n 19 cmake --build "$build-x64" -j1 --target Kolvano-UpdateTool pbfdec
    nice -n 19 bash "$root/scripts/check-release.sh" "$build-release-check"
) >"$build-x64.log" 2>&1 &
x64_build=$!

source "$root/scripts/wine-env.sh"
wine_session "$build"

status=0
ctest --test-dir "$build" --output-on-failure || status=$?
if ! wait "$x64_build"; then
    cat "$build-x64.log"
    echo "The 64-bit compile or the release check failed."
    status=1
fi

# The GUI tests leave screenshots as BMP files; PNG copies are easier to look at.
for shot in "$build"/screenshots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png"
done
exit $status
