#!/usr/bin/env bash
# Writes the update folder's manifest (update.manifest: format, product, update version, a
# sequence number and one line per file with SHA-256, size and name) and its detached signature
# (update.manifest.p7s, CMS with SHA-256), and prints the update's identity: the manifest's
# SHA-256, which a run records as AppliedUpdateId.
#   SIGN_PFX=<file.pfx> SIGN_PASSWORD=<password> [SEQUENCE=<n>] bash scripts/sign-update-folder.sh FOLDER
# The sequence number defaults to the time in UTC (YYYYMMDDhhmm); the tool refuses an update
# whose number is lower than that of the update applied before. Without SIGN_PFX the manifest is
# written unsigned, which only a test build of the tool accepts.
set -euo pipefail

folder=${1:?usage: bash scripts/sign-update-folder.sh FOLDER}
[ -d "$folder" ] || { echo "No such folder: $folder" >&2; exit 2; }
[ -z "${SIGN_PFX:-}" ] || SIGN_PFX=$(realpath "$SIGN_PFX")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$folder"
sequence=${SEQUENCE:-$(date -u +%Y%m%d%H%M)}
[[ $sequence =~ ^[0-9]{1,18}$ ]] || { echo "SEQUENCE must be a number of up to 18 digits" >&2; exit 2; }

# The update version is the file version of kolvano3.exe, as the tool shows it ("7.00.02.02");
# without that file (an update of data only) it is 0.00.00.00.
version=0.00.00.00
main=$(find . -maxdepth 1 -type f -iname kolvano3.exe | head -1)
if [ -n "$main" ]; then
    version=$(perl -0777 -ne 'if (/\xBD\x04\xEF\xFE.{4}(.{8})/s) { my ($ms, $ls) = unpack "VV", $1;
        printf "%d.%02d.%02d.%02d", $ms >> 16, $ms & 0xFFFF, $ls >> 16, $ls & 0xFFFF } else { print "0.00.00.00" }' "$main")
fi

# Every file except the manifest, its signature, run logs and Explorer's own files, which the
# tool does not list either.
rm -f update.manifest update.manifest.p7s
{
    printf 'Kolvano-UpdateManifest 1\r\nproduct Kolvano\r\nversion %s\r\nsequence %s\r\n' "$version" "$sequence"
    find . -type f ! -iname '*.log' ! -iname '*.log.1' ! -iname thumbs.db ! -iname desktop.ini -printf '%P\n' |
        LC_ALL=C sort | while IFS= read -r name; do
            printf 'file %s %s %s\r\n' "$(sha256sum <"$name" | cut -c1-64)" "$(stat -c %s "$name")" "${name//\//\\}"
        done
} >"$work/manifest"
mv "$work/manifest" update.manifest

if [ -n "${SIGN_PFX:-}" ]; then
    printf '%s' "${SIGN_PASSWORD:-}" >"$work/pass"
    openssl pkcs12 -in "$SIGN_PFX" -passin "file:$work/pass" -nokeys -clcerts -out "$work/cert.pem"
    openssl pkcs12 -in "$SIGN_PFX" -passin "file:$work/pass" -nocerts -nodes -out "$work/key.pem"
    openssl cms -sign -binary -md sha256 -outform DER -in update.manifest -signer "$work/cert.pem" \
        -inkey "$work/key.pem" -out update.manifest.p7s
    echo "Signed: $folder/update.manifest ($(grep -c '^file ' update.manifest) files, version $version, sequence $sequence)"
else
    echo "UNSIGNED MANIFEST: only a test build of the tool accepts it; give SIGN_PFX and SIGN_PASSWORD to sign."
fi
echo "Identity (AppliedUpdateId): $(sha256sum update.manifest | cut -c1-64)"
