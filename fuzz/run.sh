#!/usr/bin/env bash
# Runs the fuzz targets of a build made with -DZ4072_FUZZ=ON, each for SECONDS (default 60),
# starting from the seed corpus in fuzz/corpus/<target>/. The corpus in the repository is left
# alone: what a run adds, and any crash input, stays in $FUZZ_WORK (default build/fuzz-work).
# Exit status 1 when a target found a fault.
#   fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-60}
shift $(($# >= 2 ? 2 : 1))
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=()
  for d in "$here"/corpus/*/; do targets+=("$(basename "$d")"); done
fi
work=${FUZZ_WORK:-$build/fuzz-work}
# The targets write their inputs to files: keep those off the disk when memory is at hand.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
status=0
for t in "${targets[@]}"; do
  exe="$build/fuzz/$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe not built" >&2
    status=1
    continue
  fi
  rm -rf "$work/$t"
  mkdir -p "$work/$t/corpus" "$work/$t/crashes"
  cp "$here/corpus/$t"/* "$work/$t/corpus/" 2>/dev/null || true
  echo "fuzz: $t for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$work/$t/crashes/" "$work/$t/corpus" \
      >"$work/$t/log" 2>&1; then
    echo "fuzz: $t FAILED; input in $work/$t/crashes/, log:" >&2
    tail -n 40 "$work/$t/log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$t/log" | tr '\n' ' '
    echo
  fi
done
exit $status
