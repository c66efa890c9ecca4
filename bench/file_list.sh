#!/bin/sh
# Adding a folder of 10,000 WAV and FLAC files: files per second read on two threads against
# one thread, measured in one run, the list in the same order both times; and what reading the
# tags adds to adding on one thread.
#
#   bench/file_list.sh [benchmark binary]    default: build/release/bench/orvel_file_list_bench
set -eu

. "$(dirname "$0")/release_binary.sh"
release_binary orvel_file_list_bench "${1:-}"

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$binary" --benchmark_format=json >"$json"

python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
for name, run in runs.items():
    if "error_message" in run:
        sys.exit(f"{name}: {run['error_message']}")
one = runs["BM_AddFolder/1/iterations:3/real_time"]
two = runs["BM_AddFolder/2/iterations:3/real_time"]
for label, run in (("1 thread ", one), ("2 threads", two)):
    print(f"{label}: {run['files_per_second']:8.0f} files/s, "
          f"{run['heap_bytes_per_entry']:.0f} heap bytes per entry")
print(f"2 threads / 1 thread = {two['files_per_second'] / one['files_per_second']:.2f} "
      "(target: at least 1.6, same order)")
# Adding on one thread reads the tags too; without them it would take the rest of its time.
tags = runs["BM_ReadTags/iterations:3/real_time"]
with_tags = 1 / one["files_per_second"]
tags_only = 1 / tags["files_per_second"]
print(f"tags read alone: {tags['files_per_second']:8.0f} files/s; adding with tags / without = "
      f"{with_tags / (with_tags - tags_only):.3f} (target: at most 1.15)")
PY
