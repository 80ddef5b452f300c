#!/usr/bin/env bash
# What the README's commands build, in the Release configuration they use, and the release
# package signed with a throwaway certificate and verified:
#   bash scripts/check-release.sh [work folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build-release-check}
build="$work/build"
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF
cmake --build "$build" -j1 --target Kolvano-UpdateTool pbfdec make_demo run_demo fleet data_bench

# A certificate for code signing that lives as long as this check.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Kolvano-UpdateTool Pruefzertifikat" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" -passout pass:wegwerf
SIGN_PFX="$work/cert.pfx" SIGN_PASSWORD=wegwerf BUILD_DIR="$build" bash "$root/scripts/package.sh" >"$work/package.log"

zipfile=$(ls "$build"/Kolvano-UpdateTool-*.zip)
rm -rf "$work/unpacked"
unzip -q "$zipfile" -d "$work/unpacked"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work"/unpacked/*/Kolvano-UpdateTool.exe
echo "release check: $(basename "$zipfile") built and its signed tool verified"
