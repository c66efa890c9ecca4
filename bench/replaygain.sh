#!/usr/bin/env bash
# What ReplayGain values cost: the same 64 FLAC files (20 s each, one album) converted to MP3
# with `lame -V 2` through orvel's engine on two slots, with track and album values off and
# on, alternating in one run. Prints each time and the ratio on / off (target: at most 1.03),
# and the ratio of the processor time spent, which the load of other programs does not move.
#
#   bench/replaygain.sh [ROUNDS] [FILES] [SECONDS]   (defaults 2, 64, 20; PRESET=debug to reuse
#                                                     a debug build)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-2}"
files="${2:-64}"
seconds="${3:-20}"

preset="${PRESET:-release}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target orvel_convert_bench >/dev/null
driver="$PWD/build/$preset/bench/orvel_convert_bench"

work="$PWD/build/bench-replaygain"
data="$work/flac-$files-$seconds"
mkdir -p "$data"
# Reproducible sources: sox's repeatable noise mixed with a tone that differs per file.
if [ "$(ls "$data"/*.flac 2>/dev/null | wc -l)" -ne "$files" ]; then
    echo "generating $files FLAC files of $seconds s in $data"
    for i in $(seq -w 1 "$files"); do
        sox -R -n -r 44100 -c 2 -b 16 "$data/src$i.wav" \
            synth "$seconds" pinknoise mix sine "$((200 + 10#$i * 15))" vol 0.6
        flac -s -f -5 -o "$data/src$i.flac" "$data/src$i.wav"
        rm -f "$data/src$i.wav"
    done
fi

export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
"$driver" replaygain 2 "$rounds" "$work/out" '-d -s -f -o %out% %in%' \
    '-V 2 --quiet %in% %out%' "$data"/*.flac
