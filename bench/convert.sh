#!/usr/bin/env bash
# Converts the same 64 FLAC files (20 s each) to MP3 with `lame -V 2` through orvel's engine on
# two slots and, in the same run, through xargs -P2 and GNU parallel -j2 running the same
# decode-to-temporary-WAV-then-encode commands, and through SoundConverter's batch mode when it
# can run here. Prints each time and its ratio to orvel (below 1.0 means orvel was slower).
# Then measures the core's scheduling overhead per job with 1,000 runs of /bin/true.
#
#   bench/convert.sh [ROUNDS]      (default 2 rounds; the best time of each tool counts)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-2}"
files=64
seconds=20

cmake --preset release >/dev/null
cmake --build --preset release --target orvel_convert_bench >/dev/null
driver="$PWD/build/release/bench/orvel_convert_bench"

work="$PWD/build/bench-convert"
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

decode='-d -s -f -o %out% %in%'
encode='-V 2 --quiet %in% %out%'
# One job as a shell pipeline does it: decode to a temporary WAV, encode, delete the WAV.
job='w="$TMPDIR/$(basename "$1" .flac).$$.wav"; o="$OUT/$(basename "$1" .flac).mp3"
flac -d -s -f -o "$w" "$1" && lame -V 2 --quiet "$w" "$o"; rc=$?; rm -f "$w"; exit $rc'

fresh() { # fresh output and temporary folders for one tool
    rm -rf "$work/out-$1" "$work/tmp-$1"
    mkdir -p "$work/out-$1" "$work/tmp-$1"
    export OUT="$work/out-$1" TMPDIR="$work/tmp-$1"
}

now() { date +%s.%N; }

check() { # every source converted, no temporary WAV left
    local count
    count=$(ls "$work/out-$1"/*.mp3 2>/dev/null | wc -l)
    if [ "$count" -ne "$files" ] || [ -n "$(ls -A "$work/tmp-$1")" ]; then
        echo "$1: $count of $files converted or temporary files left" >&2
        return 1
    fi
}

run_orvel() {
    fresh orvel
    "$driver" convert 2 "$OUT/" "$decode" "$encode" "$data"/*.flac
}
run_xargs() {
    fresh xargs
    printf '%s\0' "$data"/*.flac | xargs -0 -n1 -P2 sh -c "$job" _
}
run_parallel() {
    fresh parallel
    parallel --will-cite -q -j2 sh -c "$job" _ ::: "$data"/*.flac
}

soundconverter_ok=no
if command -v soundconverter >/dev/null; then
    fresh soundconverter
    if timeout 60 soundconverter -b -f mp3 -o "$OUT" "$data/src01.flac" >/dev/null 2>&1 \
        && [ -n "$(ls "$OUT" 2>/dev/null)" ]; then
        soundconverter_ok=yes
    fi
fi
run_soundconverter() {
    fresh soundconverter
    # Its VBR quality 2 is what lame calls -V 2; two conversions at once like the others. It
    # decodes and encodes in one process, without an intermediate WAV.
    soundconverter -b -f mp3 -m vbr -q 2 -j 2 -o "$OUT" "$data"/*.flac >/dev/null 2>&1
}

tools=(orvel xargs parallel)
[ "$soundconverter_ok" = yes ] && tools+=(soundconverter)
declare -A best
for round in $(seq 1 "$rounds"); do
    for tool in "${tools[@]}"; do
        start=$(now)
        "run_$tool"
        end=$(now)
        check "$tool"
        t=$(echo "$end - $start" | bc -l)
        printf 'round %d  %-15s %7.2f s\n' "$round" "$tool" "$t"
        if [ -z "${best[$tool]:-}" ] || [ "$(echo "$t < ${best[$tool]}" | bc -l)" -eq 1 ]; then
            best[$tool]=$t
        fi
    done
done

echo
echo "best of $rounds, $files files of $seconds s, FLAC -> MP3 (lame -V 2), 2 at a time:"
for tool in "${tools[@]}"; do
    ratio=$(echo "${best[$tool]} / ${best[orvel]}" | bc -l)
    printf '  %-15s %7.2f s   %s / orvel = %.3f\n' "$tool" "${best[$tool]}" "$tool" "$ratio"
done
if [ "$soundconverter_ok" != yes ]; then
    echo "  soundconverter  skipped: not installed or cannot run its batch mode here"
fi
ratio=$(echo "${best[orvel]} / ${best[xargs]}" | bc -l)
printf 'orvel = %.3f x xargs -P2 (target: at most 1.0)\n' "$ratio"

echo
echo "scheduling overhead, 1000 runs of /bin/true:"
"$driver" overhead 1000 1 | tee "$work/overhead.txt"
bare=$(awk '/bare_spawn/ {print $2}' "$work/overhead.txt")
core=$(awk '/core_ms/ {print $2}' "$work/overhead.txt")
printf 'overhead per job above bare spawn: %.3f ms (target: under 1 ms)\n' \
    "$(echo "$core - $bare" | bc -l)"
"$driver" overhead 1000 2 | sed 's/^/two slots: /'
