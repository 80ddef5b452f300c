#!/usr/bin/env bash
# Throwaway signers for the tests, in OUT: the vendor's stand-in ("signer") and a look-alike
# with the same name and another key, each as PEM, DER and PFX (password "wegwerf"); and a
# sample manifest with signatures for the signature check's unit test.
#   bash scripts/make-test-signer.sh OUT
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"
subject="/O=Orvalis GmbH/CN=Kolvano Update-Signatur"
for who in signer lookalike; do
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "$subject" -keyout "$who.key" -out "$who.pem" 2>/dev/null
    openssl x509 -in "$who.pem" -outform DER -out "$who.der.part"
    openssl pkcs12 -export -inkey "$who.key" -in "$who.pem" -out "$who.pfx" -passout pass:wegwerf
done
printf 'Kolvano-UpdateManifest 1\r\nproduct Kolvano\r\nversion 7.00.02.02\r\nsequence 5\r\n' >sample.manifest
sign() {
    openssl cms -sign -binary -md "$3" -outform DER -in sample.manifest -signer "$1.pem" -inkey "$1.key" -out "$2"
}
sign signer sample.p7s sha256
sign lookalike sample-lookalike.p7s sha256
sign signer sample-sha1.p7s sha1
openssl cms -sign -binary -md sha256 -outform DER -in sample.manifest -signer signer.pem -inkey signer.key \
    -signer lookalike.pem -inkey lookalike.key -out sample-two.p7s
# Last, as the build waits for this file: the signer's certificate that the test tool carries.
mv lookalike.der.part lookalike.der
mv signer.der.part signer.der
