#!/usr/bin/env bash
# What following each file through the conversion session costs, measured in one run:
#  1. 5,000 tiny jobs (a 50 ms WAV copied by /bin/cp as the coder, its result checked) through
#     the session against the same jobs queued on the core directly. Target: ratio at most 1.02.
#  2. A list of 10,000 files planned, sorted, ordered and queued until the core runs, through
#     the session against the steps orvel-batch took before it. Target: ratio at most 1.00
#     (within the noise of the machine).
# Each line gives the wall time and the processor time (this process and its programs); on a
# machine that others share, the processor time is the figure that does not move with them.
#
#   bench/session.sh [ROUNDS]     (default 3; the best time of each counts)
#   BUILD=build/debug bench/session.sh    (default build/release, built when missing)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds="${1:-3}"
build="${BUILD:-build/release}"
bench="$build/bench/orvel_session_bench"
if [ ! -x "$bench" ]; then
    [ -d "$build" ] || cmake --preset "$(basename "$build")" >/dev/null
    cmake --build "$build" --target orvel_session_bench >/dev/null
fi

work="$PWD/build/bench-session"
make_files() { # folder count
    [ "$(find "$1" -name '*.wav' 2>/dev/null | wc -l)" -eq "$2" ] && return
    rm -rf "$1" && mkdir -p "$1"
    sox -R -n -r 44100 -c 2 -b 16 "$work/one.wav" synth 0.05 sine 440
    for i in $(seq -w 1 "$2"); do cp "$work/one.wav" "$1/tiny $i.wav"; done
}
mkdir -p "$work"
make_files "$work/tiny" 5000
make_files "$work/list" 10000

echo "== 5,000 tiny jobs, 2 slots"
"$bench" tiny "$work/tiny" "$work/out-tiny" 2 "$rounds"
echo "== 10,000 files until the core runs"
"$bench" start "$work/list" "$work/out-list" "$rounds"
