#!/bin/sh
# A list of 3,000 files reaching the window: filling six columns and fitting them with every
# row measured, against measuring the first thousand rows only, in one run.
#
#   bench/list_columns.sh [benchmark binary]    default: build/release/bench/orvel_list_columns_bench
set -eu

. "$(dirname "$0")/release_binary.sh"
release_binary orvel_list_columns_bench "${1:-}"

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$binary" --benchmark_format=json >"$json"

python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
every = runs["BM_FillAndFitColumns/3000/1/iterations:5"]["real_time"]
first = runs["BM_FillAndFitColumns/3000/0/iterations:5"]["real_time"]
print(f"3,000 rows, every row measured:      {every:7.1f} ms (target: well under 10 s)")
print(f"3,000 rows, first thousand measured: {first:7.1f} ms")
print(f"every row / first thousand = {every / first:.2f}")
PY
