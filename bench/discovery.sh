#!/bin/sh
# Codec discovery figures: the time to discover 200 coder folders plus a "Codecs" folder of
# 20 executables of 4 MiB, and HashFile's MD5 throughput as a share of md5sum's on the same
# files, measured in one run (medians of the repetitions).
#
#   bench/discovery.sh [benchmark binary]    default: build/release/bench/orvel_discovery_bench
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$here/build/release/bench/orvel_discovery_bench}
if [ ! -x "$binary" ]; then
    cmake --preset release -S "$here" >/dev/null
    cmake --build "$here/build/release" --target orvel_discovery_bench >/dev/null
fi

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$binary" --benchmark_repetitions="${REPETITIONS:-5}" --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$json"

python3 - "$json" <<'EOF'
import json, sys
results = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]
           if b.get("aggregate_name") == "median"}
def get(name):
    return next(v for k, v in results.items() if k.startswith(name))
discover = get("BM_DiscoverCodecs")
scan = get("BM_ScanCoderFolders")
hash_file = get("BM_HashFile")["bytes_per_second"] / 2**20
md5sum = get("BM_Md5sum")["bytes_per_second"] / 2**20
print(f"discover 200 coder folders + 20 x 4 MiB codecs: {discover['real_time']:.1f} ms")
print(f"scan 200 coder folders only:                    {scan['real_time']:.1f} ms")
print(f"HashFile: {hash_file:.0f} MiB/s   md5sum: {md5sum:.0f} MiB/s   "
      f"ratio: {hash_file / md5sum:.2f} (target >= 0.90)")
EOF
