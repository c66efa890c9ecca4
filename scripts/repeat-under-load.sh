#!/usr/bin/env bash
# Runs the whole test suite again and again on two cores while programs that only burn the
# processor run beside it, and names the tests that failed in each round and over all rounds.
# A test that waits for time instead of the event it checks fails here sooner or later.
#
#   scripts/repeat-under-load.sh [ROUNDS] [HOGS] [CTEST ARGUMENTS...]
#     ROUNDS  how many times the suite runs (default 10)
#     HOGS    busy processes beside it on the same cores (default 2)
#   PRESET=debug (the default) picks the build; the suite runs with -j 4 unless told otherwise.
#
# Exit status: 0 when every round passed, 1 when a test failed, 2 when the suite cannot run.
set -euo pipefail

rounds=${1:-10}
hogs=${2:-2}
shift $(($# < 2 ? $# : 2))
preset=${PRESET:-debug}
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[[ -d build/$preset ]] || { echo "no build/$preset: build the $preset preset first" >&2; exit 2; }

cores=0,1
if ! taskset -c "$cores" true 2>/dev/null; then
    cores=$(taskset -pc $$ | sed 's/.*: //')
fi

# The hogs end with the script, however it ends.
hog_pids=()
logs=$(mktemp -d)
stop_hogs() {
    for pid in "${hog_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${hog_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$logs"
}
trap stop_hogs EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for ((i = 0; i < hogs; ++i)); do
    taskset -c "$cores" bash -c 'while :; do :; done' &
    hog_pids+=($!)
done

declare -A failures=()
failed_rounds=0
for ((round = 1; round <= rounds; ++round)); do
    log=$logs/round$round.log
    start=$(date +%s)
    status=0
    taskset -c "$cores" ctest --preset "$preset" -j 4 --output-on-failure "$@" >"$log" 2>&1 ||
        status=$?
    seconds=$(($(date +%s) - start))
    summary=$(grep -E '^[0-9]+% tests passed' "$log" || echo "the suite did not run (status $status)")
    # ctest lists them after this line; the tests it did not run (skipped) come in a list of
    # their own before it.
    failed=$(sed -n '/The following tests FAILED:/,$p' "$log" |
        sed -En 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(.*/\1/p' | sort -u)
    if [[ $status -eq 0 ]]; then
        echo "round $round: passed ($summary, ${seconds} s)"
        continue
    fi
    failed_rounds=$((failed_rounds + 1))
    echo "round $round: FAILED ($summary, ${seconds} s)"
    for name in $failed; do
        echo "    $name"
        failures[$name]=$((${failures[$name]:-0} + 1))
    done
    # The first lines of each failure say why; the whole log would drown the rounds.
    grep -E -A4 '^[^ ]+:[0-9]+: Failure$' "$log" | head -30 | sed 's/^/      /' || true
done

echo "$((rounds - failed_rounds)) of $rounds rounds passed with $hogs busy processes on cores $cores"
for name in "${!failures[@]}"; do
    echo "  $name failed in ${failures[$name]} of $rounds rounds"
done
[[ $failed_rounds -eq 0 ]]
