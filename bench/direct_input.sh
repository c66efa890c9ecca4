#!/usr/bin/env bash
# What the WAV step costs, measured in one run on the same 64 FLAC files of 20 s, 2 at a time:
#  1. To Opus and to Ogg Vorbis: orvel-batch with direct input (the encoder reads the FLAC
#     itself) against orvel-batch with the WAV step (WAVs on the disk, and on a tmpfs), and
#     against xargs -P2 doing decode-then-encode and encode-only (the floor).
#     Target: direct input at most 0.92 x xargs -P2 decoding first.
#  2. To MP3 (lame reads no FLAC, so orvel decodes first): orvel-batch against SoundConverter,
#     which decodes and encodes in one process, when it is installed.
#
#   bench/direct_input.sh [ROUNDS]     (default 1; the best time of each tool counts)
#   BUILD=build/debug bench/direct_input.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-1}"
build="${BUILD:-build/release}"
. bench/batch_binary.sh
batch_binary "$build"

work="$PWD/build/bench-direct"
data="$work/flac"
mkdir -p "$data"
for i in $(seq -w 1 64); do
    f="$data/src$i.flac"
    [ -f "$f" ] && continue
    sox -R -n -r 44100 -c 2 -b 16 "$f.wav" synth 20 pinknoise mix sine "$((200 + 10#$i * 15))" vol 0.6
    flac -s -f -5 -o "$f" "$f.wav"
    rm -f "$f.wav"
done
files=("$data"/*.flac)

# Two program folders that differ only in Settings.ini.
for mode in direct wav; do
    rm -rf "$work/program-$mode"
    cp -a "$PWD/$build/program" "$work/program-$mode"
    printf '[Settings.General]\r\nDirectInput=%d\r\n' "$([ $mode = direct ] && echo 1 || echo 0)" \
        >"$work/program-$mode/Settings.ini"
done
# A memory-backed runtime folder, as systemd gives each user.
shm=$(mktemp -d /dev/shm/orvel-bench-XXXXXX)
trap 'rm -rf "$shm"' EXIT

fresh() {
    rm -rf "$work/out-$1" "$work/tmp-$1"
    mkdir -p "$work/out-$1" "$work/tmp-$1"
    export OUT="$work/out-$1" TMPDIR="$work/tmp-$1"
}

check() { # tool extension: every source converted, no temporary WAV left
    local count
    count=$(ls "$work/out-$1"/*."$2" 2>/dev/null | wc -l)
    if [ "$count" -ne 64 ] || [ -n "$(ls -A "$work/tmp-$1")" ] || [ -n "$(ls -A "$shm")" ]; then
        echo "$1: $count of 64 converted or temporary files left" >&2
        return 1
    fi
}

orvel() { # mode coder preset
    env -u XDG_RUNTIME_DIR "$batch" --program-folder "$work/program-$1" --coder "$2" \
        --preset "$3" --threads 2 --list-order --overwrite --output "$OUT" "${files[@]}" >/dev/null
}
orvel_tmpfs() {
    XDG_RUNTIME_DIR="$shm" "$batch" --program-folder "$work/program-wav" --coder "$1" \
        --preset "$2" --threads 2 --list-order --overwrite --output "$OUT" "${files[@]}" >/dev/null
}
xargs2() { # job
    printf '%s\0' "${files[@]}" | JOB="$1" xargs -0 -n1 -P2 sh -c "$1" _
}

# Processor seconds (user and system) of every program this shell has waited for: the work
# itself, which a busy machine does not inflate the way it inflates the elapsed time.
# Called in this shell, not in a subshell, whose `times` would count only its own children.
cpu_seconds() { # variable
    times >"$work/times"
    printf -v "$1" '%s' "$(awk 'NR == 2 {
        split($1, u, /[ms]/); split($2, s, /[ms]/); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
        "$work/times")"
}

declare -A best cpu
measure() { # name extension command...
    local name=$1 start end t c0 c
    fresh "$name"
    cpu_seconds c0
    start=$(date +%s.%N)
    "${@:3}"
    end=$(date +%s.%N)
    cpu_seconds c
    c=$(echo "$c - $c0" | bc -l)
    check "$name" "$2"
    t=$(echo "$end - $start" | bc -l)
    printf '  %-26s %7.2f s elapsed %7.2f s processor\n' "$name" "$t" "$c"
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc -l)" -eq 1 ]; then
        best[$name]=$t
    fi
    if [ -z "${cpu[$name]:-}" ] || [ "$(echo "$c < ${cpu[$name]}" | bc -l)" -eq 1 ]; then
        cpu[$name]=$c
    fi
}

wav='w="$TMPDIR/$(basename "$1" .flac).$$.wav"; o="$OUT/$(basename "$1" .flac)'
opus_wav="$wav.opus\"; flac -d -s -f -o \"\$w\" \"\$1\" && opusenc --quiet --bitrate 128 \"\$w\" \"\$o\"; rc=\$?; rm -f \"\$w\"; exit \$rc"
opus_direct='opusenc --quiet --bitrate 128 "$1" "$OUT/$(basename "$1" .flac).opus"'
ogg_wav="$wav.ogg\"; flac -d -s -f -o \"\$w\" \"\$1\" && oggenc -Q -q 5 -o \"\$o\" \"\$w\"; rc=\$?; rm -f \"\$w\"; exit \$rc"
ogg_direct='oggenc -Q -q 5 -o "$OUT/$(basename "$1" .flac).ogg" "$1"'

soundconverter_ok=no
if command -v soundconverter >/dev/null; then
    fresh probe
    if timeout 60 soundconverter -b -f mp3 -o "$OUT" "${files[0]}" >/dev/null 2>&1 &&
        [ -n "$(ls "$OUT")" ]; then
        soundconverter_ok=yes
    fi
fi

for round in $(seq 1 "$rounds"); do
    echo "round $round"
    measure opus-orvel-direct opus orvel direct Opus "128 kbps VBR"
    measure opus-orvel-wav-disk opus orvel wav Opus "128 kbps VBR"
    measure opus-orvel-wav-tmpfs opus orvel_tmpfs Opus "128 kbps VBR"
    measure opus-xargs-wav opus xargs2 "$opus_wav"
    measure opus-xargs-direct opus xargs2 "$opus_direct"
    measure ogg-orvel-direct ogg orvel direct "Ogg Vorbis" "Quality 5 (~160 kbps)"
    measure ogg-orvel-wav-disk ogg orvel wav "Ogg Vorbis" "Quality 5 (~160 kbps)"
    measure ogg-orvel-wav-tmpfs ogg orvel_tmpfs "Ogg Vorbis" "Quality 5 (~160 kbps)"
    measure ogg-xargs-wav ogg xargs2 "$ogg_wav"
    measure ogg-xargs-direct ogg xargs2 "$ogg_direct"
    measure mp3-orvel mp3 orvel direct "LAME MP3" "VBR V2 (~190 kbps)"
    if [ "$soundconverter_ok" = yes ]; then
        measure mp3-soundconverter mp3 sh -c \
            'soundconverter -b -f mp3 -m vbr -q 2 -j 2 -o "$OUT" "$@" >/dev/null 2>&1' _ "${files[@]}"
    fi
done

ratio() { # name name: elapsed and processor ratios
    printf 'elapsed %.3f  processor %.3f' "$(echo "${best[$1]} / ${best[$2]}" | bc -l)" \
        "$(echo "${cpu[$1]} / ${cpu[$2]}" | bc -l)"
}
echo
echo "best of $rounds; 64 FLAC files of 20 s, 2 at a time"
for format in opus ogg; do
    echo "$format: orvel direct / orvel WAV step on disk:  $(ratio $format-orvel-direct $format-orvel-wav-disk)"
    echo "$format: orvel WAV step on tmpfs / on disk:      $(ratio $format-orvel-wav-tmpfs $format-orvel-wav-disk)"
    echo "$format: orvel direct / xargs -P2 decode+encode: $(ratio $format-orvel-direct $format-xargs-wav) (target: at most 0.92)"
    echo "$format: xargs encode only / decode+encode:      $(ratio $format-xargs-direct $format-xargs-wav) (the floor)"
done
if [ "$soundconverter_ok" = yes ]; then
    echo "mp3: orvel / SoundConverter: $(ratio mp3-orvel mp3-soundconverter)"
else
    echo "mp3: SoundConverter is not installed here (or cannot run its batch mode): no figure"
fi
