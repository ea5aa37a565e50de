#!/usr/bin/env bash
# Builds the benchmarks optimised (build-bench/, or $BENCH_BUILD_DIR) and prints one line per
# figure: every program bench_* that bench/CMakeLists.txt makes (Google Benchmark: its time per
# run, items per second, and every counter), then every script bench/*.sh, called with the
# build dir, which prints its own "name: value unit" lines. Arguments: only benchmarks whose
# name matches this regex (e.g. ./bench.sh 'Read380|Xml').
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here"
build=${BENCH_BUILD_DIR:-build-bench}
filter=${1:-.}
BUILD_DIR=$build BUILD_TYPE=Release scripts/setup.sh -DZ4072_TESTS=OFF -DZ4072_BENCH=ON >/dev/null

echo "# $(date -u +%FT%TZ) $(git rev-parse --short HEAD 2>/dev/null || echo '?')," \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores," \
  "$(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)"
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  json=$(QT_QPA_PLATFORM=offscreen "$exe" --benchmark_filter="$filter" --benchmark_format=json \
    2>/dev/null) || { echo "$(basename "$exe"): FAILED"; continue; }
  [ -n "$json" ] || continue # no benchmark of this program matches the regex
  python3 -c '
import json, re, sys
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
def si(v):
    for f, p in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if abs(v) >= f:
            return "%.3g %s" % (v / f, p)
    return "%.3g " % v
for b in json.load(sys.stdin)["benchmarks"]:
    if b.get("run_type") == "aggregate":
        continue
    name = re.sub(r"/(iterations:\d+|manual_time|real_time|process_time)", "", b["name"])
    t = b["real_time"] * scale[b.get("time_unit", "ns")]
    print("%s: %s per run" % (name, ("%.3f s" % t) if t >= 0.1 else ("%.3g ms" % (t * 1e3)) if t >= 1e-4 else ("%.3g ns" % (t * 1e9))))
    if "items_per_second" in b:
        print("%s: %sitems/s" % (name, si(b["items_per_second"])))
    skip = {"name", "run_name", "run_type", "family_index", "per_family_instance_index",
            "repetitions", "repetition_index", "threads", "iterations", "real_time", "cpu_time",
            "time_unit", "items_per_second", "bytes_per_second", "label", "error_occurred",
            "error_message", "aggregate_name", "aggregate_unit"}
    for k, v in b.items():
        if k not in skip and isinstance(v, (int, float)):
            print("%s: %s = %.4g" % (name, k, v))
' <<<"$json"
done
for script in bench/*.sh; do
  [ -f "$script" ] || continue
  bash "$script" "$build" || echo "$(basename "$script"): FAILED"
done
