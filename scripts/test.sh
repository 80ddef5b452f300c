#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test under Wine in a private prefix.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
source "$root/scripts/wine-env.sh"

# The product is 32-bit, and its tests run on the 32-bit build. Where the machine runs 64-bit
# user code only, Wine cannot start a 32-bit program: the tests then run on the 64-bit build of
# the same code, and the 32-bit build is compiled (warnings as errors) but not run.
wine_toolchain "$build"
source "$root/scripts/build-env.sh"
# The Wine prefixes are made while the build runs.
mkdir -p "$build"
wine_prefixes "$build" fleet kill >/dev/null 2>&1 &
prefixes=$!
# Without debug information, which no test reads: the build takes a sixth less time. The sources
# of each target are compiled a few at a time, as one file, which takes a quarter less again;
# the release check below compiles every file alone.
configure_and_build "$build" Debug "$(nproc)" "$TOOLCHAIN" -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DCMAKE_C_FLAGS_DEBUG=-O0 \
    -DCMAKE_UNITY_BUILD=ON

# Beside the tests, at low priority and one compile at a time (on every core it slowed the tests
# more than it gained), and on every core once they are done: its make takes its job slots from
# this pipe, which is handed the other cores' slots when ctest ends. The Release configuration
# of what the README's commands build, 32-bit, and the package signed with a throwaway
# certificate; where the tests run the 32-bit build, a 64-bit compile too, which keeps the code
# free of pointer-size assumptions.
slots=$(mktemp -u)
mkfifo "$slots"
exec 3<>"$slots"
rm "$slots"
(
    renice -n 19 -p "$BASHPID" >/dev/null
    export MAKEFLAGS="-j --jobserver-auth=3,3"
    if [ "$TOOLCHAIN" = mingw-w64.cmake ]; then
        configure_and_build "$build-x64" Debug "$(nproc)" mingw-w64-x86_64.cmake -DBUILD_TESTING=OFF -- Kolvano-UpdateTool pbfdec
    fi
    bash "$root/scripts/check-release.sh" "$build-release-check"
) >"$build-x64.log" 2>&1 &
x64_build=$!

wait "$prefixes"
DESKTOP_HOLDER="$build/tests/desktop_holder.exe" wine_session "$build" fleet kill 3>&-

# Three at a time: the tests that share the product's registry keys take turns (a resource
# lock), and the roll-out rehearsal runs in a prefix of its own beside them, as do the kill test
# and the spoiled installations, one after the other.
status=0
ctest --test-dir "$build" --output-on-failure -j3 --timeout 600 3>&- || status=$?
printf '+%.0s' $(seq 2 "$(nproc)") >&3
if ! wait "$x64_build"; then
    cat "$build-x64.log"
    echo "The compile of the other bitness or the release check failed."
    status=1
fi

# The GUI tests leave screenshots as BMP files; PNG copies are easier to look at.
for shot in "$build"/screenshots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png"
done
exit $status
