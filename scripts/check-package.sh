#!/usr/bin/env bash
# Checks the Debian package as Debian's own tools check packages, then converts a FLAC file with
# the orvel-batch unpacked from it, in the program folder unpacked beside it.
# Usage: scripts/check-package.sh build/desktop/orvel_VERSION_ARCH.deb
set -euo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
deb=$(readlink -f "$1")
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== lintian"
lintian --fail-on error,warning --info "$deb"

echo "== the unpacked package"
dpkg-deb -x "$deb" "$work/unpacked"
appstreamcli validate --no-net "$work"/unpacked/usr/share/metainfo/*.metainfo.xml
desktop-file-validate "$work/unpacked/usr/share/applications/orvel.desktop"
echo "The desktop entry is valid."

# Through the /usr/bin link, as a user runs it: orvel-batch finds the program folder it lies in.
batch="$work/unpacked/usr/bin/orvel-batch"
"$batch" --list-coders >"$work/coders.txt"
for named in "$root"/data/Coders/*/*.name; do
    name=$(head -n 1 "$named" | tr -d '\r')
    grep -qxF "$name" "$work/coders.txt" || {
        echo "orvel-batch --list-coders does not name the coder $name" >&2
        exit 1
    }
done

mkdir -p "$work/music"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1 sine 440
flac -s -o "$work/music/tone.flac" "$work/tone.wav"
"$batch" --coder "Ogg Vorbis" --output "$work/out" "$work/music/tone.flac"
[ -s "$work/out/tone.ogg" ] || {
    echo "orvel-batch from the package wrote no tone.ogg" >&2
    exit 1
}

# With no encoder on PATH (a system without the recommended packages) the coder is refused
# before any file is read, and the message names the package to install.
status=0
PATH=/nonexistent "$batch" --coder "LAME MP3" --output "$work/out" "$work/music/tone.flac" \
    >"$work/missing.txt" 2>&1 || status=$?
if [ "$status" -ne 1 ] || ! grep -q "Install the Debian package lame" "$work/missing.txt"; then
    echo "a missing program was not reported with its package (exit status $status):" >&2
    cat "$work/missing.txt" >&2
    exit 1
fi
grep -m 1 "Install the Debian package" "$work/missing.txt"
echo "Package checked: $(basename "$deb")"
