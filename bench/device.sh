#!/usr/bin/env bash
# The cost of the device limits and of verifying lossless results, as ratios measured in one run
# with orvel-batch on two slots over the same 64 FLAC files (20 s each, 44.1 kHz, 16 bits):
#   FLAC to FLAC with verification against without (target: at most 1.10),
#   FLAC to MP3 with limits that change nothing (48 kHz, 24 bits, stereo) against none (at most
#   1.01).
#
#   bench/device.sh [ROUNDS]      (default 2 rounds; the best time of each counts)
#   BUILD=debug bench/device.sh   (the debug tree instead of a release build)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-2}"
build="${BUILD:-release}"
files=64
seconds=20

if [ "$build" = release ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target orvel-batch >/dev/null
fi
batch="$PWD/build/$build/program/orvel-batch"

work="$PWD/build/bench-device"
data="$work/flac-$files-$seconds"
mkdir -p "$data"
if [ "$(ls "$data"/*.flac 2>/dev/null | wc -l)" -ne "$files" ]; then
    echo "generating $files FLAC files of $seconds s in $data"
    for i in $(seq -w 1 "$files"); do
        sox -R -n -r 44100 -c 2 -b 16 "$data/src$i.wav" \
            synth "$seconds" pinknoise mix sine "$((200 + 10#$i * 15))" vol 0.6
        flac -s -f -5 -o "$data/src$i.flac" "$data/src$i.wav"
        rm -f "$data/src$i.wav"
    done
fi

now() { date +%s.%N; }

# One conversion of the whole set into a fresh folder; prints its wall time.
convert() {
    local name=$1
    shift
    rm -rf "$work/out-$name" "$work/tmp-$name"
    mkdir -p "$work/out-$name" "$work/tmp-$name"
    local start end
    start=$(now)
    TMPDIR="$work/tmp-$name" "$batch" --program-folder "$PWD/data" --threads 2 --overwrite --flat --output "$work/out-$name" \
        "$@" "$data" >"$work/log-$name" 2>&1 || { cat "$work/log-$name" >&2; exit 1; }
    end=$(now)
    grep -q "^$files converted, 0 failed" "$work/log-$name" || { cat "$work/log-$name" >&2; exit 1; }
    echo "$end - $start" | bc
}

# The best time of each of two variants, run in turn each round, so a machine that slows down
# or speeds up during the run weighs on both alike. Each variant is a quoted argument list.
pair() {
    local a=$1 b=$2
    local bestA= bestB= t
    for _ in $(seq "$rounds"); do
        t=$(eval convert a $a)
        if [ -z "$bestA" ] || [ "$(echo "$t < $bestA" | bc)" = 1 ]; then bestA=$t; fi
        t=$(eval convert b $b)
        if [ -z "$bestB" ] || [ "$(echo "$t < $bestB" | bc)" = 1 ]; then bestB=$t; fi
    done
    echo "$bestA $bestB"
}

read -r plain verified < <(pair "--coder FLAC --no-verify" "--coder FLAC --verify")
read -r nolimits limits < <(pair "--coder 'LAME MP3' --max-rate keep --max-bits keep --channels keep" \
    "--coder 'LAME MP3' --max-rate 48 --max-bits 24 --channels stereo")

printf 'FLAC to FLAC, %d files, best of %d (%s build):\n' "$files" "$rounds" "$build"
printf '  without verification   %7.2f s\n' "$plain"
printf '  with verification      %7.2f s   ratio %.3f (target at most 1.10)\n' "$verified" \
    "$(echo "$verified / $plain" | bc -l)"
printf 'FLAC to MP3:\n'
printf '  no limits              %7.2f s\n' "$nolimits"
printf '  limits changing nothing%7.2f s   ratio %.3f (target at most 1.01)\n' "$limits" \
    "$(echo "$limits / $nolimits" | bc -l)"
