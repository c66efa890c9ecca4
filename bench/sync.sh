#!/usr/bin/env bash
# What keeping a library copy in step costs, measured in one run:
#  1. A sync with nothing to do over a library of 10,000 files (1,000 album folders of ten short
#     WAVs, each its own noise) and its FLAC copy, against one `find` over the library and the
#     copy that stats every file: the floor, as a sync must look at each file once.
#     Target: at most 3 x.
#  2. The same library after 100 of its files changed: the sync converts just those 100 (the
#     script fails otherwise) and its time is printed beside the no-op's.
#
#   bench/sync.sh [ROUNDS]     (default 1; sync and find alternate, the best time of each counts)
#   FILES=2000 bench/sync.sh   (a smaller library; default 10000)
#   BUILD=build/debug bench/sync.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-1}"
files="${FILES:-10000}"
build="${BUILD:-build/release}"
. bench/batch_binary.sh
batch_binary "$build"

work="$PWD/build/bench-sync"
library="$work/library"
copy="$work/copy"
# Each file its own noise, so that no two sources share an audio digest.
if [ ! -f "$work/.made-$files" ]; then
    rm -rf "$work" && mkdir -p "$library"
    python3 - "$library" "$files" <<'EOF'
import os, struct, sys
root, count = sys.argv[1], int(sys.argv[2])
frames = 882  # 20 ms at 44.1 kHz, stereo, 16 bits
for i in range(count):
    folder = os.path.join(root, "Artist %03d" % (i // 100), "Album %04d" % (i // 10))
    os.makedirs(folder, exist_ok=True)
    data = os.urandom(frames * 4)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) + b"data" + struct.pack("<I", len(data))
    with open(os.path.join(folder, "%02d Track.wav" % (i % 10 + 1)), "wb") as f:
        f.write(header + data)
EOF
    touch "$work/.made-$files"
fi

sync() {
    "$batch" --sync --coder FLAC --preset "Level 5 (default)" --threads 2 --output "$copy" "$library"
}

# Wall seconds of one run of the command.
wall_of() {
    { TIMEFORMAT='%R'; time "$@" >/dev/null 2>&1; } 2>&1
}

echo "making the copy of $files files (once)..."
sync >/dev/null 2>&1 || { echo "the first sync failed" >&2; exit 1; }
[ "$(find "$copy" -name '*.flac' | wc -l)" -eq "$files" ] || { echo "the copy is not whole" >&2; exit 1; }

floor() { find "$library" "$copy" -type f -printf '%s %T@\n' >/dev/null; }
find "$library" "$copy" -type f >/dev/null # both trees in the cache for both tools
# The two alternate, round by round, so that a machine whose speed drifts weighs on both alike;
# the best of each counts, and the median of the rounds' own ratios is printed beside.
nothing="" floor_wall="" ratios=()
for ((round = 0; round < rounds; ++round)); do
    one=$(wall_of sync)
    other=$(wall_of floor)
    if [ -z "$nothing" ] || (($(echo "$one < $nothing" | bc))); then nothing=$one; fi
    if [ -z "$floor_wall" ] || (($(echo "$other < $floor_wall" | bc))); then floor_wall=$other; fi
    ratios+=("$(echo "$one / $other" | bc -l)")
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
conversions() { grep -c '^converted' || true; }
[ "$(sync | conversions)" -eq 0 ] || { echo "a sync with nothing to do converted files" >&2; exit 1; }

# 100 sources change (other samples, same size); the sync converts just those.
changed=0
while read -r path; do
    python3 -c 'import os,sys; f=open(sys.argv[1],"r+b"); f.seek(44); f.write(os.urandom(3528))' "$path"
    changed=$((changed + 1))
done < <(find "$library" -name '*.wav' | sort | awk 'NR % int('"$files"' / 100) == 0' | head -100)
TIMEFORMAT='%R'
changed_wall=$({ time sync >"$work/changed.log" 2>&1; } 2>&1)
converted=$(conversions <"$work/changed.log")

echo "== sync of a library of $files files and its copy"
printf 'orvel-batch --sync, nothing to do:  %7.3f s\n' "$nothing"
printf 'find over library and copy:         %7.3f s\n' "$floor_wall"
printf 'ratio sync / find:                  %7.2f   (target at most 3)\n' \
    "$(echo "$nothing / $floor_wall" | bc -l)"
printf 'median of the rounds own ratios:    %7.2f   (%d rounds)\n' "$median" "$rounds"
printf 'orvel-batch --sync, %d changed:    %7.3f s, %d converted\n' "$changed" "$changed_wall" "$converted"
[ "$converted" -eq "$changed" ] || { echo "the sync converted $converted files, not $changed" >&2; exit 1; }
