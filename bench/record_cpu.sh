#!/usr/bin/env bash
# CPU that `z4072 record` takes on the simulated cable for 10 s: with the meter silent (a capture
# without reports: the cable's idle reports only) and with the meter live (the demonstration,
# a frame a second). Whole process, start-up included. Argument: the build dir.
set -euo pipefail
build=${1:-build-bench}
exe=$build/app/z4072
seconds=${RECORD_CPU_SECONDS:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "# nothing here but comments: the cable only polls" >"$work/silent.cap"
python3 - "$exe" "$work" "$seconds" <<'PY'
import os, subprocess, sys
exe, work, seconds = sys.argv[1], sys.argv[2], sys.argv[3]
env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"), QT_QPA_PLATFORM="offscreen")
for name, source in (("silent", ["--replay", os.path.join(work, "silent.cap")]),
                     ("live", ["--simulate"])):
    out = os.path.join(work, name + ".txt")
    p = subprocess.Popen([exe, "record", out, *source, "--duration", seconds], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(p.pid, 0)
    cpu = usage.ru_utime + usage.ru_stime
    rows = max(0, sum(1 for _ in open(out, "rb")) - 1) if os.path.exists(out) else 0
    print("record_cpu/%s: %.2f %% of a core (%.2f s CPU in %s s, %d rows, exit %d)"
          % (name, 100.0 * cpu / float(seconds), cpu, seconds, rows, os.waitstatus_to_exitcode(status)))
PY
