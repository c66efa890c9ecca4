#!/usr/bin/env bash
# A remembered list of 10,000 files (WAV and FLAC) reaching the window at start, measured in one
# run: without the properties cache (as before it existed), the first start with an empty cache
# (every file read and stored), and the second start (every file found in the cache). Each time
# runs from the start of orvel to its window being shown, under a virtual X server.
# Targets: second start under 1 s; first start at most 1.05 x the start without a cache.
#
#   bench/startup_list.sh [ROUNDS]     (default 3; the best time of each counts)
#   BUILD=build/debug bench/startup_list.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [[ -z "${DISPLAY:-}" || "${ORVEL_BENCH_INNER:-}" != 1 ]]; then
    exec env ORVEL_BENCH_INNER=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi
rounds="${1:-3}"
build="${BUILD:-build/release}"
if [ ! -x "$build/program/orvel" ]; then
    cmake --preset release >/dev/null
    cmake --build "$build" --target orvel orvel-probe orvel_program_folder >/dev/null
fi

work="$PWD/build/bench-startup"
files="$work/files"
mkdir -p "$files"
if [ "$(find "$files" -type f | wc -l)" -ne 10000 ]; then
    echo "making 10,000 files in $files"
    sox -R -n -r 44100 -c 2 -b 16 "$work/one.wav" synth 1 pinknoise vol 0.5
    flac -s -f -o "$work/one.flac" "$work/one.wav"
    for d in $(seq -w 0 99); do
        mkdir -p "$files/$d"
        for i in $(seq -w 0 49); do
            cp "$work/one.wav" "$files/$d/song $i.wav"
            cp "$work/one.flac" "$files/$d/song $i.flac"
        done
    done
fi
list=$(find "$files" -type f | sort)

rm -rf "$work/program"
cp -a "$PWD/$build/program" "$work/program"
printf '[Settings.General]\r\nRememberFileList=1\r\n' >"$work/program/Settings.ini"
touch "$work/not-a-folder"

# Seconds from the start of orvel to its window being shown; the list is read before.
start_time() { # cache home
    printf '%s\n' "$list" | sed 's/$/\r/' >"$work/program/FileList.m3u"
    local start end pid
    start=$(date +%s.%N)
    (cd "$work/program" && exec env XDG_CACHE_HOME="$1" ./orvel >/dev/null 2>&1) &
    pid=$!
    until xdotool search --onlyvisible --name '^orvel' >/dev/null 2>&1; do
        sleep 0.01
    done
    end=$(date +%s.%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$end - $start" | bc -l
}

declare -A best
note() { # name seconds
    printf '  %-22s %6.2f s\n' "$1" "$2"
    if [ -z "${best[$1]:-}" ] || [ "$(echo "$2 < ${best[$1]}" | bc -l)" -eq 1 ]; then
        best[$1]=$2
    fi
}
for round in $(seq 1 "$rounds"); do
    echo "round $round"
    # A cache folder that cannot be made: reading goes on without the cache.
    note without-cache "$(start_time "$work/not-a-folder/cache")"
    rm -rf "$work/cache"
    note first-start "$(start_time "$work/cache")"
    note second-start "$(start_time "$work/cache")"
done

echo
echo "best of $rounds; a remembered list of 10,000 files, start to a shown window:"
printf '  second start: %.2f s (target: under 1 s), %.3f x without a cache\n' \
    "${best[second-start]}" "$(echo "${best[second-start]} / ${best[without-cache]}" | bc -l)"
printf '  first start / without a cache = %.3f (target: at most 1.05)\n' \
    "$(echo "${best[first-start]} / ${best[without-cache]}" | bc -l)"
