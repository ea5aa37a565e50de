#!/usr/bin/env bash
# Static analysis of our own sources: clang-tidy with the checks of .clang-tidy, then cppcheck.
# Reads the compile commands of a configured build ($BUILD_DIR, default build/); exit status 1
# when either finds something.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
build=${BUILD_DIR:-build}
db="$build/compile_commands.json"
[ -f "$db" ] || { echo "lint: no $db (configure first)" >&2; exit 2; }
jobs=$(nproc)
status=0

# Our translation units in the build (generated moc/rcc files are not ours).
mapfile -t units < <(python3 - "$db" "$here" <<'PY'
import json, sys, os
db, root = sys.argv[1], sys.argv[2]
for e in json.load(open(db)):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if (f.startswith(root + "/") and "_autogen/" not in f and "/build" not in f[len(root):]
            and os.path.exists(f)):
        print(f)
PY
)

# The program's own files get every check of .clang-tidy. The tests, benchmarks and fuzz targets
# get all but the path-sensitive analyser (clang-analyzer-*), which costs as much again as the
# rest there and finds little in them: they run under ASan and UBSan, which catch at run time
# what it looks for.
program=() harness=()
for f in "${units[@]}"; do
  case "${f#"$here"/}" in
    tests/* | bench/* | fuzz/*) harness+=("$f") ;;
    *) program+=("$f") ;;
  esac
done
tidy() { # tidy LOG CHECKS FILES...   (CHECKS added to those of .clang-tidy; may be empty)
  local log=$1 checks=$2
  shift 2
  [ $# -gt 0 ] || return 0
  if ! run-clang-tidy-14 -quiet -p "$build" -j "$jobs" ${checks:+"-checks=$checks"} "$@" >"$log" 2>&1; then
    grep -E 'warning:|error:' "$log" | sort -u >&2
    echo "lint: clang-tidy found the above (whole log: $log)" >&2
    status=1
  fi
}
echo "lint: clang-tidy on ${#program[@]} program files, ${#harness[@]} test, benchmark and fuzz files"
tidy "$build/clang-tidy.log" "" "${program[@]}"
tidy "$build/clang-tidy-tests.log" "-clang-analyzer-*" "${harness[@]}"

echo "lint: cppcheck"
if ! cppcheck --quiet --error-exitcode=1 --inline-suppr --library=qt --library=googletest -j "$jobs" \
    --enable=warning,performance,portability --std=c++20 --language=c++ \
    --suppressions-list="$here/scripts/cppcheck.supp" \
    -I . \
    "${units[@]}" 2>"$build/cppcheck.log"; then
  cat "$build/cppcheck.log" >&2
  echo "lint: cppcheck found the above" >&2
  status=1
fi
exit $status
