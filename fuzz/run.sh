#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang) and runs each for a fixed time on its
# committed seeds. Usage: fuzz/run.sh [seconds per target, default 60] [target name ...]
# New inputs go to a scratch copy of each corpus, so the committed seeds stay small; inputs
# that crash are kept under build/fuzz/artifacts/. Exits non-zero when any target crashed.
set -euo pipefail

seconds="${1:-60}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

bin="build/fuzz/fuzz"
artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for target in "$bin"/orvel_fuzz_*; do
        names+=("${target##*/orvel_fuzz_}")
    done
fi

failed=0
summary=()
for name in "${names[@]}"; do
    corpus="$scratch/$name"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$name"/* "$corpus"/
    log="$scratch/$name.log"
    status=0
    # Leak checking stays on; -max_len keeps lines long enough to cross the 1024-byte buffers.
    ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" \
    LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0}" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
        "$bin/orvel_fuzz_$name" -max_total_time="$seconds" -max_len=8192 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" \
        >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    found="none"
    if [ "$status" -ne 0 ]; then
        failed=1
        found="CRASH (exit $status), input in $artifacts/"
        tail -40 "$log" >&2
    fi
    summary+=("$(printf '%-20s %12s executions in %ss, corpus %s inputs, found: %s' \
        "$name" "${runs:-?}" "$seconds" "$(ls "$corpus" | wc -l)" "$found")")
done

echo "Fuzzing summary:"
printf '  %s\n' "${summary[@]}"
exit "$failed"
