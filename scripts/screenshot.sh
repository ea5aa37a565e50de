#!/usr/bin/env bash
# The screenshot of the software-centre entry: the window on the simulated meter under Xvfb,
# CONNECT clicked, the demonstration recorded for a while, then the window alone as a PNG.
#   scripts/screenshot.sh [BUILD_DIR] [OUT]
# BUILD_DIR defaults to build/ (made by scripts/setup.sh), OUT to packaging/screenshots/window.png;
# SCREENSHOT_SECONDS (default 25) is how long the meter runs before the picture is taken.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" = --inside-xvfb ]; then
  prog=$2 out=$3 seconds=$4
  # A state folder of its own: whatever the program keeps there stays out of the user's.
  state=$(mktemp -d)
  export XDG_STATE_HOME=$state QT_QPA_PLATFORM=xcb
  "$prog" --simulate &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$state"' EXIT
  win=$(timeout 60 xdotool search --sync --onlyvisible --name '^Z4072' | head -n1)
  if [ -z "$win" ]; then
    echo "screenshot: the window did not appear" >&2
    exit 1
  fi
  sleep 1
  # CONNECT: the first button of the top bar, at a fixed place in the window.
  xdotool mousemove --window "$win" 473 34 click 1
  sleep "$seconds"
  import -window "$win" "$out"
  exit 0
fi

build=${1:-$here/build}
out=${2:-$here/packaging/screenshots/window.png}
prog=$build/app/z4072
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/packages.txt)" >&2; exit 1; }
done
[ -x "$prog" ] || { echo "screenshot: no program at $prog (build first: scripts/setup.sh)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
tmp=$(mktemp --suffix=.png)
trap 'rm -f "$tmp"' EXIT
xvfb-run -a -s '-screen 0 1024x900x24' "$0" --inside-xvfb "$prog" "$tmp" "${SCREENSHOT_SECONDS:-25}"
# No time stamps or other chunks that change from run to run without the picture changing.
convert "$tmp" -strip "$out"
echo "$out: $(identify -format '%wx%h' "$out")"
