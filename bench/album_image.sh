#!/usr/bin/env bash
# What converting an album image costs, measured in one run, all to MP3 (lame -V 2) on two slots:
#  1. A 10-track, 40-minute FLAC image with its cue sheet through orvel-batch, against the same
#     ten tracks as separate FLAC files through orvel-batch. Target: at most 1.03 x.
#  2. The image through orvel-batch against the usual split-then-encode pipeline: shnsplit
#     (shntool) cuts the image into WAVs, then lame encodes them, two at a time (xargs -P2).
#     Skipped where shnsplit is not installed (Debian's shntool).
# Each line gives the wall time and the processor time of the tool and its programs.
#
#   bench/album_image.sh [ROUNDS]     (default 1; the best time of each counts)
#   BUILD=build/debug bench/album_image.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-1}"
build="${BUILD:-build/release}"
. bench/batch_binary.sh
batch_binary "$build"

work="$PWD/build/bench-album-image"
image="$work/image"
tracks="$work/tracks"
if [ ! -f "$image/Album.cue" ]; then
    rm -rf "$work" && mkdir -p "$image" "$tracks"
    # Ten tracks of four minutes, sox's repeatable noise with a tone of their own.
    sheet="FILE \"Album.flac\" WAVE"$'\n'
    for i in $(seq -w 1 10); do
        sox -R -n -r 44100 -c 2 -b 16 "$work/$i.wav" synth 240 pinknoise mix sine "$((200 + 10#$i * 40))" vol 0.6
        flac -s -f -5 -o "$tracks/$i.flac" "$work/$i.wav"
        sheet+="  TRACK $i AUDIO"$'\n'"    TITLE \"Track $i\""$'\n'
        sheet+="    INDEX 01 $(printf '%02d' $(((10#$i - 1) * 4))):00:00"$'\n'
    done
    sox "$work"/[0-9][0-9].wav "$work/Album.wav"
    flac -s -f -5 -o "$image/Album.flac" "$work/Album.wav"
    rm -f "$work"/*.wav
    printf '%s' "$sheet" >"$image/Album.cue"
fi

# Runs the command ROUNDS times on fresh output folders; prints the best wall and processor
# seconds as "wall cpu".
measure() { # name command...
    local name=$1 best_wall="" best_cpu=""
    shift
    for ((round = 0; round < rounds; ++round)); do
        rm -rf "$work/out-$name" "$work/tmp-$name" && mkdir -p "$work/out-$name" "$work/tmp-$name"
        local times
        times=$({ TIMEFORMAT='%R %U %S'; time OUT="$work/out-$name" TMP="$work/tmp-$name" "$@" >/dev/null 2>&1; } 2>&1)
        read -r wall user sys <<<"$times"
        local cpu
        cpu=$(echo "$user + $sys" | bc)
        if [ -z "$best_wall" ] || (($(echo "$wall < $best_wall" | bc))); then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || (($(echo "$cpu < $best_cpu" | bc))); then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

orvel() { # folder
    "$batch" --coder "LAME MP3" --preset "VBR V2 (~190 kbps)" --threads 2 --flat --output "$OUT" "$1"
}
split_then_encode() {
    shnsplit -q -O always -f "$image/Album.cue" -o wav -d "$TMP" "$image/Album.flac" &&
        find "$TMP" -name '*.wav' -print0 |
        xargs -0 -P2 -I{} sh -c 'lame -V 2 --quiet "$1" "$OUT/$(basename "$1" .wav).mp3"' sh {}
}
export -f split_then_encode
export image

read -r image_wall image_cpu <<<"$(measure image orvel "$image")"
read -r tracks_wall tracks_cpu <<<"$(measure tracks orvel "$tracks")"
[ "$(find "$work/out-image" -name '*.mp3' | wc -l)" -eq 10 ] || { echo "the image gave no ten tracks" >&2; exit 1; }
echo "== 40-minute image, 10 tracks, to MP3 on two slots"
printf 'orvel-batch, image + cue:    %6.2f s wall  %6.2f s processor\n' "$image_wall" "$image_cpu"
printf 'orvel-batch, ten FLAC files: %6.2f s wall  %6.2f s processor\n' "$tracks_wall" "$tracks_cpu"
printf 'ratio image / files:         %6.3f wall   %6.3f processor   (target at most 1.03)\n' \
    "$(echo "$image_wall / $tracks_wall" | bc -l)" "$(echo "$image_cpu / $tracks_cpu" | bc -l)"
if command -v shnsplit >/dev/null; then
    read -r split_wall split_cpu <<<"$(measure split split_then_encode)"
    printf 'shnsplit, then lame -P2:     %6.2f s wall  %6.2f s processor\n' "$split_wall" "$split_cpu"
    printf 'ratio image / split+encode:  %6.3f wall   %6.3f processor\n' \
        "$(echo "$image_wall / $split_wall" | bc -l)" "$(echo "$image_cpu / $split_cpu" | bc -l)"
else
    echo "shnsplit is not installed (Debian's shntool): the split-then-encode pipeline is skipped"
fi
