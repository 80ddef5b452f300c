#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need. Safe to run again.
set -euo pipefail

# The product is a 32-bit program: Wine needs its i386 half to run it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

packages=(
    cmake make file
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
    wine wine64 wine32:i386 fonts-wine
    xvfb xauth imagemagick
    googletest
    zip unzip
    openssl osslsigncode
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! { apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"; }; then
        # A mirror in mid-sync can serve one architecture's security index short; Wine's
        # i386 half then cannot match its amd64 libraries. Fall back to the release itself.
        echo "Retrying from the release archive alone (without the security index)"
        sources=$(mktemp -d)
        trap 'rm -rf "$sources"' EXIT
        cat > "$sources/release.sources" <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        apt_release=(-o Dir::Etc::SourceParts="$sources" -o Dir::Etc::SourceList=/dev/null)
        apt-get "${apt_release[@]}" update
        apt-get "${apt_release[@]}" install -y --no-install-recommends "${missing[@]}"
    fi
fi
