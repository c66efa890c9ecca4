#!/usr/bin/env bash
# What keeping a library's tags and writing results whole costs: the same 64 tagged FLAC files
# (20 s each, a dozen fields and a 600x600 cover) converted to MP3 with `lame -V 2` through
# orvel's engine on two slots, with tag copy and hidden outputs off and on, alternating in one
# run. Prints each time and the ratio on / off (target: at most 1.03).
# WHAT=check keeps tags and hidden outputs on and alternates the result check (each result read
# back and its length compared with the source's) off and on instead (target: at most 1.02).
#
#   bench/results.sh [ROUNDS] [FILES] [SECONDS]      (defaults 2, 64, 20; PRESET=debug to reuse
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

work="$PWD/build/bench-results"
data="$work/tagged-$files-$seconds"
mkdir -p "$data"
if [ "$(ls "$data"/*.flac 2>/dev/null | wc -l)" -ne "$files" ]; then
    echo "generating $files tagged FLAC files of $seconds s in $data"
    ffmpeg -v error -y -f lavfi -i testsrc=size=600x600 -frames:v 1 "$work/cover.jpg"
    for i in $(seq -w 1 "$files"); do
        sox -R -n -r 44100 -c 2 -b 16 "$data/src$i.wav" \
            synth "$seconds" pinknoise mix sine "$((200 + 10#$i * 15))" vol 0.6
        flac -s -f -5 -o "$data/src$i.flac" "$data/src$i.wav"
        rm -f "$data/src$i.wav"
        metaflac --set-tag="TITLE=Track $i" --set-tag="ARTIST=Bench Ensemble" \
            --set-tag="ALBUM=Results" --set-tag="ALBUMARTIST=Various" \
            --set-tag="TRACKNUMBER=$i" --set-tag="DISCNUMBER=1" --set-tag="DATE=2021-05-04" \
            --set-tag="GENRE=Noise" --set-tag="COMMENT=bench" --set-tag="COMPOSER=sox" \
            --set-tag="MUSICBRAINZ_TRACKID=8f3471b5-7e6a-48da-86a9-c1c07a0f47ae" \
            --set-tag="REPLAYGAIN_TRACK_GAIN=-6.50 dB" \
            --import-picture-from="3||front||$work/cover.jpg" "$data/src$i.flac"
    done
fi

export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
"$driver" "${WHAT:-results}" 2 "$rounds" "$work/out" '-d -s -f -o %out% %in%' '-V 2 --quiet %in% %out%' \
    "$data"/*.flac
if [ "${WHAT:-results}" = check ]; then
    # The check's own cost, read once for a run's input and once for its result: per file it
    # comes to a source, a WAV and a result read back, against the batch's time per file.
    "$driver" checkcost "$data"/*.flac "$work/out/on"/*.mp3
fi
