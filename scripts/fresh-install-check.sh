#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 system, as on a computer that has never seen
# the program, and checks that it works there:
#   - apt installs the .deb and everything it depends on from Debian's mirror;
#   - z4072 --version;
#   - z4072 convert of a small table, text -> XML -> text, byte for byte;
#   - the window on the simulated meter, on an Xvfb display, shown and still running after
#     CONNECT (its picture is kept as BUILD_DIR/fresh-install-window.png).
#
#   scripts/fresh-install-check.sh [DEB]     DEB defaults to build-deb/z4072_*.deb (build-deb.sh)
#
# The clean system is a minimal Debian 12 root (Essential packages and apt) that mmdebstrap makes
# from Debian's packages. It is cached as a tarball in $Z4072_ROOT_CACHE (default
# /var/cache/z4072-fresh-root) and made again when older than a week; the packages that apt
# fetches into the root are kept there too, so a second run downloads little. Each run unpacks a
# new root from the tarball into memory (tmpfs) and drops it afterwards.
#
# Needs root (chroot and mounts), mmdebstrap (installed when missing) and Debian's mirror; where
# one of them is not to be had it prints "fresh-install check SKIPPED: <why>" and exits 0.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS=0
step() { echo "=== fresh-install: $* [${SECONDS}s]"; }
skip() {
  echo "fresh-install check SKIPPED: $*"
  exit 0
}

deb=${1:-$(ls "$here"/build-deb/z4072_*.deb 2>/dev/null | tail -n1 || true)}
[ -n "$deb" ] && [ -f "$deb" ] || { echo "fresh-install: no package (run scripts/build-deb.sh first)" >&2; exit 1; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
out_dir=$(dirname "$deb")
[ "$(id -u)" = 0 ] || skip "needs root for chroot and mounts"
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "fresh-install: $tool is missing (scripts/packages.txt)" >&2; exit 1; }
done
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    mmdebstrap >/dev/null || skip "mmdebstrap cannot be installed"
fi

mirror=${Z4072_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${Z4072_DEBIAN_SECURITY:-http://deb.debian.org/debian-security}
cache=${Z4072_ROOT_CACHE:-/var/cache/z4072-fresh-root}
base=$cache/bookworm-apt.tar
mkdir -p "$cache/archives/partial"

if [ -f "$base" ] && [ -z "$(find "$base" -mtime +7)" ]; then
  step "clean Debian 12 root from the cache ($(date -r "$base" +%F))"
else
  step "making a clean Debian 12 root with mmdebstrap"
  # The sources are given, never read from standard input (CI has none).
  rm -rf "$cache/new.tar"
  if ! mmdebstrap --quiet --variant=apt --mode=root --format=tar --skip=cleanup/apt/lists bookworm "$cache/new.tar" \
      "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
      "deb $security bookworm-security main" </dev/null; then
    rm -rf "$cache/new.tar"
    skip "mmdebstrap could not make a Debian 12 root from $mirror"
  fi
  rm -rf "$base"
  mv "$cache/new.tar" "$base"
fi

root=$(mktemp -d /var/tmp/z4072-fresh-root.XXXXXX)
mounts=()
xvfb_pid="" app_pid=""
cleanup() {
  [ -z "$app_pid" ] || { kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; }
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  # Only once nothing is mounted there any more.
  if ! grep -q " $root" /proc/mounts; then rm -rf "$root"; fi
}
trap cleanup EXIT
bind() { # bind SOURCE TARGET-IN-ROOT
  mkdir -p "$root$2"
  mount --bind "$1" "$root$2"
  mounts+=("$root$2")
}
# In memory: unpacking, dpkg's writes and the removal at the end cost no disk time.
mount -t tmpfs -o size=4g,mode=755 z4072-fresh-root "$root" || skip "file systems cannot be mounted here"
mounts+=("$root")
tar -C "$root" -xf "$base"
mkdir -p "$root/proc" "$root/sys"
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounts+=("$root/sys")
bind /dev /dev
bind /dev/pts /dev/pts
bind /dev/shm /dev/shm
bind "$cache/archives" /var/cache/apt/archives
# Xvfb makes its socket folder at its start, after the bind: on a machine that has not run an
# X server yet it must be there first, open to all as X servers leave it.
[ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
mkdir -p "$root/tmp/.X11-unix"
bind /tmp/.X11-unix /tmp/.X11-unix
cp /etc/resolv.conf "$root/etc/resolv.conf"
# As in any chroot: packages may not start services here.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

step "apt-get update"
in_root apt-get -qq -o APT::Sandbox::User=root update || skip "the mirror cannot be reached from the root"
step "apt-get install $(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  -o APT::Sandbox::User=root -o Dpkg::Use-Pty=0 "/tmp/$(basename "$deb")" >"$out_dir/fresh-install-apt.log"
tail -n1 "$out_dir/fresh-install-apt.log"
# Keeps the cache of fetched packages to what the mirror still has.
in_root apt-get -qq autoclean
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' z4072

step "z4072 --version"
version=$(in_root z4072 --version)
echo "$version"
[[ "$version" =~ ^z4072\ [0-9] ]] || { echo "fresh-install: unexpected --version: $version" >&2; exit 1; }
in_root test -f /usr/share/man/man1/z4072.1.gz
in_root test -f /usr/share/z4072/kr380.html

step "z4072 convert"
# A small table as the window saves it: GBK ("\xa6\xb8" is the ohm sign), CR LF.
printf 'No\tTime\tValue\tUnit\tFunction\tRemark\r\n1\t10:00:00\t1.234\tM\xa6\xb8\tIR:500V 20G\xa6\xb8\tContinuous\r\n2\t10:00:01\t0L\tNULL\tDCV  600V\tNULL\r\n' \
  >"$root/tmp/table.txt"
in_root sh -c 'cd /tmp && z4072 convert table.txt table.xml && z4072 convert table.xml back.txt'
cmp "$root/tmp/table.txt" "$root/tmp/back.txt"
LC_ALL=C grep -q $'Unit="M\xa6\xb8"' "$root/tmp/table.xml" ||
  { echo "fresh-install: the XML packet lost the ohm sign" >&2; exit 1; }
echo "text -> XML -> text: the same bytes"

step "the window on the simulated meter"
Xvfb -displayfd 4 -screen 0 1024x900x24 -nolisten tcp 4>"$root/tmp/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$root/tmp/display" ] && break; sleep 0.1; done
display=:$(cat "$root/tmp/display")
# Started directly (not through a function) so that $! is the program itself.
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 DISPLAY="$display" \
  QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=/tmp z4072 --simulate >"$out_dir/fresh-install-window.log" 2>&1 &
app_pid=$!
win=$(DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --name '^Z4072' | head -n1 || true)
[ -n "$win" ] || { echo "fresh-install: the window did not appear" >&2; cat "$out_dir/fresh-install-window.log" >&2; exit 1; }
DISPLAY=$display xdotool mousemove --window "$win" 473 34 click 1
sleep 5
kill -0 "$app_pid" || { echo "fresh-install: the window ended" >&2; cat "$out_dir/fresh-install-window.log" >&2; exit 1; }
DISPLAY=$display import -window "$win" "$out_dir/fresh-install-window.png"
echo "window $win shown and running; picture: $out_dir/fresh-install-window.png"

step "passed"
