#!/usr/bin/env bash
# Whole-library figures, measured in one run:
#  1. A mixed batch, 23 FLAC files of 20 s and then one of 200 s, to MP3 (lame -V 2) on two
#     slots: orvel-batch starting the longest file first, against orvel-batch in list order,
#     xargs -P2 and SoundConverter (when it can run here), all of which start in list order.
#     Target: longest first at most 0.85 x each.
#  2. The uniform batch of 64 FLAC files of 20 s through orvel-batch against xargs -P2.
#     Target: at most 1.0 x.
#
#   bench/library.sh [ROUNDS]     (default 1; the best time of each tool counts)
#   BUILD=build/debug bench/library.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-1}"
build="${BUILD:-build/release}"
. bench/batch_binary.sh
batch_binary "$build"
program="$PWD/$build/program"

work="$PWD/build/bench-library"
mkdir -p "$work"

make_flac() { # path seconds tone: sox's repeatable noise mixed with a tone
    [ -f "$1" ] && return
    sox -R -n -r 44100 -c 2 -b 16 "$1.wav" synth "$2" pinknoise mix sine "$3" vol 0.6
    flac -s -f -5 -o "$1" "$1.wav"
    rm -f "$1.wav"
}
mixed="$work/mixed"
uniform="$work/uniform"
mkdir -p "$mixed" "$uniform"
for i in $(seq -w 1 23); do make_flac "$mixed/a$i.flac" 20 "$((200 + 10#$i * 15))"; done
make_flac "$mixed/z-long.flac" 200 180
for i in $(seq -w 1 64); do make_flac "$uniform/src$i.flac" 20 "$((200 + 10#$i * 15))"; done

job='w="$TMPDIR/$(basename "$1" .flac).$$.wav"; o="$OUT/$(basename "$1" .flac).mp3"
flac -d -s -f -o "$w" "$1" && lame -V 2 --quiet "$w" "$o"; rc=$?; rm -f "$w"; exit $rc'

export JOB="$job"

fresh() {
    rm -rf "$work/out-$1" "$work/tmp-$1"
    mkdir -p "$work/out-$1" "$work/tmp-$1"
    export OUT="$work/out-$1" TMPDIR="$work/tmp-$1"
}

check() { # tool count: every source converted, no temporary WAV left
    local count
    count=$(ls "$work/out-$1"/*.mp3 2>/dev/null | wc -l)
    if [ "$count" -ne "$2" ] || [ -n "$(ls -A "$work/tmp-$1")" ]; then
        echo "$1: $count of $2 converted or temporary files left" >&2
        return 1
    fi
}

orvel() { # order sources...
    "$batch" --program-folder "$program" --coder "LAME MP3" --preset "VBR V2 (~190 kbps)" \
        --threads 2 "--$1" --output "$OUT" "${@:2}" >/dev/null
}

soundconverter_ok=no
if command -v soundconverter >/dev/null; then
    fresh probe
    if timeout 60 soundconverter -b -f mp3 -o "$OUT" "$mixed/a01.flac" >/dev/null 2>&1 &&
        [ -n "$(ls "$OUT")" ]; then
        soundconverter_ok=yes
    fi
fi

declare -A best
measure() { # name count command...
    local name=$1 count=$2 start end t
    fresh "$name"
    start=$(date +%s.%N)
    "${@:3}"
    end=$(date +%s.%N)
    check "$name" "$count"
    t=$(echo "$end - $start" | bc -l)
    printf '  %-22s %7.2f s\n' "$name" "$t"
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc -l)" -eq 1 ]; then
        best[$name]=$t
    fi
}

mixed_files=("$mixed"/a*.flac "$mixed/z-long.flac")
uniform_files=("$uniform"/*.flac)
for round in $(seq 1 "$rounds"); do
    echo "round $round"
    measure mixed-orvel-long-first 24 orvel long-first "${mixed_files[@]}"
    measure mixed-orvel-list-order 24 orvel list-order "${mixed_files[@]}"
    measure mixed-xargs 24 sh -c 'printf "%s\0" "$@" | xargs -0 -n1 -P2 sh -c "$JOB" _' _ \
        "${mixed_files[@]}"
    if [ "$soundconverter_ok" = yes ]; then
        measure mixed-soundconverter 24 sh -c \
            'soundconverter -b -f mp3 -m vbr -q 2 -j 2 -o "$OUT" "$@" >/dev/null 2>&1' _ \
            "${mixed_files[@]}"
    fi
    measure uniform-orvel-batch 64 orvel list-order "${uniform_files[@]}"
    measure uniform-xargs 64 sh -c 'printf "%s\0" "$@" | xargs -0 -n1 -P2 sh -c "$JOB" _' _ \
        "${uniform_files[@]}"
done

ratio() { echo "${best[$1]} / ${best[$2]}" | bc -l; }
echo
echo "best of $rounds; FLAC -> MP3 (lame -V 2), 2 at a time"
echo "mixed batch, 23 x 20 s then 1 x 200 s:"
for peer in mixed-orvel-list-order mixed-xargs mixed-soundconverter; do
    if [ -z "${best[$peer]:-}" ]; then
        echo "  longest first / ${peer#mixed-}: skipped (not installed or cannot run its batch mode here)"
        continue
    fi
    printf '  longest first / %-18s = %.3f (target: at most 0.85)\n' "${peer#mixed-}" \
        "$(ratio mixed-orvel-long-first "$peer")"
done
printf 'uniform batch, 64 x 20 s: orvel-batch / xargs -P2 = %.3f (target: at most 1.0)\n' \
    "$(ratio uniform-orvel-batch uniform-xargs)"
