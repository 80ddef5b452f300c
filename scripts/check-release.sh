#!/usr/bin/env bash
# What the README's commands build, in the Release configuration they use, and the release
# package signed with a throwaway certificate and verified:
#   bash scripts/check-release.sh [work folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=$(realpath -m "${1:-$root/build-release-check}")
build="$work/build"
mkdir -p "$work"

source "$root/scripts/build-env.sh"
# The package's tool and library (scripts/package.sh). The benchmark (scripts/bench.sh), the demo,
# the fleet and the scale runs are compiled in the test build, from the same sources.
configure_and_build "$build" Release "$(nproc)" mingw-w64.cmake -DBUILD_TESTING=OFF -- Kolvano-UpdateTool pbfdec

# A certificate for code signing that lives as long as this check.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Kolvano-UpdateTool Pruefzertifikat" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" -passout pass:wegwerf
SIGN_PFX="$work/cert.pfx" SIGN_PASSWORD=wegwerf BUILD_DIR="$build" bash "$root/scripts/package.sh" >"$work/package.log"

zipfile=$(ls "$build"/Kolvano-UpdateTool-*.zip)
rm -rf "$work/unpacked"
unzip -q "$zipfile" -d "$work/unpacked"
tool=$(ls "$work"/unpacked/*/Kolvano-UpdateTool.exe)
osslsigncode verify -CAfile "$work/cert.pem" -in "$tool"

# The release tool carries the certificate as the signer of update folders, and a folder signed
# with it verifies.
openssl x509 -in "$work/cert.pem" -outform DER -out "$work/cert.der"
perl -0777 -e 'open my $t, "<:raw", $ARGV[0] or die; open my $c, "<:raw", $ARGV[1] or die;
    my ($tool, $cert) = (<$t>, <$c>); exit(index($tool, $cert) < 0)' "$tool" "$work/cert.der" ||
    { echo "the release tool does not carry the update signer's certificate"; exit 1; }
rm -rf "$work/folder" && mkdir "$work/folder" && cp "$tool" "$build/bin/pbfdec.dll" "$work/folder/"
SIGN_PFX="$work/cert.pfx" SIGN_PASSWORD=wegwerf bash "$root/scripts/sign-update-folder.sh" "$work/folder"
openssl cms -verify -binary -inform DER -in "$work/folder/update.manifest.p7s" -content "$work/folder/update.manifest" \
    -CAfile "$work/cert.pem" -purpose any >/dev/null
echo "release check: $(basename "$zipfile") built, its signed tool verified, an update folder signed for it"
