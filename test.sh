#!/usr/bin/env bash
# Set up (packages, configure, build), then run every test through CTest (arguments go to
# ctest). `./test.sh --lint` runs the static analysis (clang-tidy, cppcheck) instead.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/scripts/setup.sh"
if [ "${1:-}" = "--lint" ]; then
  exec "$here/scripts/lint.sh"
fi
cd "$here/${BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
