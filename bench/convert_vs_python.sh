#!/usr/bin/env bash
# `z4072 convert` of a million-row tab-separated file to an XML packet, side by side with
# bench/convert_table.py doing the same work in plain Python. Each runs three times, in turns;
# the fastest run counts, by wall clock and by processor time (user + system), which a busy
# machine disturbs less. The two packets must be the same bytes. Argument: the build dir.
set -euo pipefail
build=${1:?usage: convert_vs_python.sh BUILD_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$build/app/z4072
[ -x "$exe" ] || { echo "convert_1M: no $exe" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

python3 - "$exe" "$here/convert_table.py" "$dir" <<'PY'
import os, resource, subprocess, sys, time

exe, script, d = sys.argv[1:4]
src = os.path.join(d, "in.xls")
units = ["M\u03a9", "G\u03a9", "V"]
modes = ["Continuous", "Timed", "PI", "COMP:GOOD"]
rows = ["No\tTime\tValue\tUnit\tFunction\tRemark"]
for i in range(1_000_000):
    s = (i * 500 + 123) % 86_400_000 // 1000
    rows.append("%d\t%02d:%02d:%02d\t%d\t%s\tIR:1000V 40G\u03a9\t%s" % (
        i + 1, s // 3600, s // 60 % 60, s % 60, 1000 + i * 7 % 9000, units[i % 3], modes[i % 4]))
with open(src, "wb") as f:
    f.write(("\r\n".join(rows) + "\r\n").encode("gbk"))

def run(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

ours, python = [], []
for _ in range(3):
    ours.append(run([exe, "convert", src, os.path.join(d, "z4072.xml")]))
    python.append(run([sys.executable, script, src, os.path.join(d, "python.xml")]))
with open(os.path.join(d, "z4072.xml"), "rb") as a, open(os.path.join(d, "python.xml"), "rb") as b:
    if a.read() != b.read():
        sys.exit("convert_1M: the two packets differ")
for k, label in ((0, ""), (1, "_cpu")):
    o = min(r[k] for r in ours)
    p = min(r[k] for r in python)
    print("convert_1M_z4072%s: %.3f s" % (label, o))
    print("convert_1M_python%s: %.3f s" % (label, p))
    print("convert_1M_speedup%s: %.1f x" % (label, p / o))
PY
