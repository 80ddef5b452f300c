#!/usr/bin/env bash
# Builds the tool in release mode and writes the release package:
#   build-release/Kolvano-UpdateTool-<version>.zip
# with the tool, a commented example update.ini, the guide for preparing an update folder and
# the guide for software distribution. Given a code-signing certificate, the tool is signed
# (Authenticode, SHA-256), with a time stamp when a time-stamp server is named, and the
# certificate is built in as the signer of update folders (scripts/sign-update-folder.sh):
#   SIGN_PFX=<file.pfx> SIGN_PASSWORD=<password> [SIGN_TIMESTAMP_URL=<url>] bash scripts/package.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}

bash "$root/scripts/install-deps.sh"

# The certificate that signs the tool also signs the update folders' manifests: the release tool
# carries it and refuses a folder it did not sign. Without one, the tool is a test build.
certificate=""
if [ -n "${SIGN_PFX:-}" ]; then
    passfile=$(mktemp)
    trap 'rm -f "$passfile"' EXIT
    printf '%s' "${SIGN_PASSWORD:-}" >"$passfile"
    mkdir -p "$build"
    certificate="$build/update-signer.der"
    openssl pkcs12 -in "$SIGN_PFX" -passin "file:$passfile" -nokeys -clcerts |
        openssl x509 -outform DER -out "$certificate"
fi
source "$root/scripts/build-env.sh"
configure_and_build "$build" Release "$(nproc)" mingw-w64.cmake -DBUILD_TESTING=OFF \
    -DUPDATE_SIGNER_CERT="$certificate" -- Kolvano-UpdateTool
exe="$build/bin/Kolvano-UpdateTool.exe"
i686-w64-mingw32-strip "$exe"

# Signed last: any later change to the file would break the signature.
if [ -n "${SIGN_PFX:-}" ]; then
    args=(sign -pkcs12 "$SIGN_PFX" -readpass "$passfile" -h sha256 -n "Kolvano-UpdateTool" -in "$exe" -out "$exe.signed")
    [ -n "${SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$SIGN_TIMESTAMP_URL")
    osslsigncode "${args[@]}" >/dev/null
    mv "$exe.signed" "$exe"
    echo "Signed with $SIGN_PFX."
    if [ -z "${SIGN_TIMESTAMP_URL:-}" ]; then
        echo "WARNING: not time-stamped: the signature stops being valid when the certificate expires; give SIGN_TIMESTAMP_URL."
    fi
    kind="signed release package"
else
    echo "UNSIGNED TEST PACKAGE: not for distribution. Give SIGN_PFX and SIGN_PASSWORD to sign the tool (SmartScreen and AppLocker expect it)."
    echo "Its tool is a test build: it also takes update folders without a signed manifest (scripts/sign-update-folder.sh)."
    kind="UNSIGNED TEST PACKAGE"
fi

version=$(sed -n 's/^#define TOOL_VERSION_TEXT *"\(.*\)"/\1/p' "$build/generated/resources/version.h")
stage="$build/package/Kolvano-UpdateTool-$version"
rm -rf "$build/package"
mkdir -p "$stage"
cp "$exe" "$stage/"
cp "$root/package/update.ini" "$root/package/ANLEITUNG-UPDATEORDNER.md" "$root/package/ANLEITUNG-VERTEILUNG.md" \
    "$stage/"

zipfile="$build/Kolvano-UpdateTool-$version.zip"
rm -f "$zipfile"
(cd "$build/package" && zip -q -r "$zipfile" "Kolvano-UpdateTool-$version")
unzip -l "$zipfile"
echo "Package ($kind): $zipfile"
