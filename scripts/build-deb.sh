#!/usr/bin/env bash
# Builds the Debian package from this tree the way Debian builds its own: a Release build with
# the compiler and linker flags of dpkg-buildflags (every hardening feature on), no tests or
# benchmarks, stripped by CPack; then checks it with lintian.
#   scripts/build-deb.sh [BUILD_DIR]        BUILD_DIR defaults to build-deb/
# The .deb's path is the last line printed. Fails on any lintian error, and on any warning that
# the package's lintian overrides (packaging/debian/lintian-overrides) do not explain.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
build=${1:-build-deb}

# Packaging tools that only this check needs.
need=()
for p in dpkg-dev lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if ((${#need[@]})); then
  sudo=""
  if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# CMake reads CXXFLAGS and LDFLAGS, not CPPFLAGS (where _FORTIFY_SOURCE is).
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
gen=()
if [ ! -f "$build/CMakeCache.txt" ]; then gen=(-G Ninja); fi
cmake -S . -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release -DZ4072_TESTS=OFF -DZ4072_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$(nproc)" --target z4072
rm -f "$build"/z4072_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/z4072_*.deb)

echo "lintian $(lintian --version | awk '{print $2}') on $deb:"
lintian --info --display-info --pedantic --show-overrides --fail-on error,warning "$deb" \
  | tee "$build/lintian.txt"
echo "$deb"
