#!/bin/sh
# Codec discovery figures: the time to discover 200 coder folders plus a "Codecs" folder of
# 20 executables of 4 MiB, and HashFile's MD5 throughput as a share of md5sum's on the same
# files, measured in one run with the two taking turns.
#
#   bench/discovery.sh [benchmark binary]    default: build/release/bench/orvel_discovery_bench
set -eu

. "$(dirname "$0")/release_binary.sh"
release_binary orvel_discovery_bench "${1:-}"

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$binary" --benchmark_repetitions="${REPETITIONS:-3}" --benchmark_format=json >"$json"

python3 - "$json" <<'EOF'
import json, statistics, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
def values(name, key):
    return [b[key] for b in runs if b["run_name"].startswith(name)]
discover = statistics.median(values("BM_DiscoverCodecs", "real_time"))
scan = statistics.median(values("BM_ScanCoderFolders", "real_time"))
def ratio_line(label, suffix):
    ours = statistics.median(values("BM_HashFileVsMd5sum", f"HashFile{suffix}_MiBps"))
    theirs = statistics.median(values("BM_HashFileVsMd5sum", f"md5sum{suffix}_MiBps"))
    print(f"{label}  HashFile: {ours:.0f} MiB/s   md5sum: {theirs:.0f} MiB/s   "
          f"ratio: {ours / theirs:.2f} (target >= 0.90)")
print(f"discover 200 coder folders + 20 x 4 MiB codecs: {discover:.1f} ms (median)")
print(f"scan 200 coder folders only:                    {scan:.1f} ms (median)")
ratio_line("MD5, wall clock (best passes, taking turns):   ", "")
ratio_line("MD5, processor time (all passes, taking turns):", "_cpu")
EOF
