#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing, then configures
# and builds into build/ (or $BUILD_DIR). Extra arguments go to cmake's configure step.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

mapfile -t wanted < <(grep -vE '^\s*(#|$)' scripts/packages.txt)
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  sudo=""
  if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${BUILD_DIR:-build}
gen=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then gen=(-G Ninja); fi
cmake -S . -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
