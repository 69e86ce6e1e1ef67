#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (as root), or
# says which are missing (as anyone else).
#
#   tools/install-deps.sh [host] [win32]     (both when none is named)
#
# host: the host build, its tests, the device build and its checkers;
# win32: the mingw-w64 build and Wine, which runs it. Exit status 1 names
# what is still missing of the groups asked for.
#
# The package manager is touched only when something is missing. A package
# index can be mid-sync on any day ("File has unexpected size"): an update
# that fails is retried, and the install is tried even when every retry
# failed, since the old index usually still names every package. Only the
# packages that could not be installed in the end are an error, by name.
set -uo pipefail
# llvm brings llvm-rc, which runs clang as the resource scripts' preprocessor;
# libclang-rt-14-dev is clang's runtime of libFuzzer and the sanitizers
# (tests/fuzz).
# fonts-wine brings Wine's free Tahoma, the stand-in's system face.
# libglib2.0-dev is GDBus, the player's bridge to desktop players over D-Bus;
# its tests run mpv with its MPRIS script on a private session bus
# (dbus-daemon) and ask it with playerctl.
# lld links the device build (ARM); libgcab-dev writes and reads its CAB;
# gcab, cabextract and python3-pefile are the independent readers that check
# the CAB and the ARM images; libunicorn-dev is the emulated StrongARM.
host=(cmake g++ make llvm clang lld libclang-rt-14-dev libgtest-dev libbenchmark-dev libfreetype-dev libpng-dev libsdl2-dev
      fonts-wine libglib2.0-dev dbus-daemon mpv mpv-mpris playerctl
      libgcab-dev gcab cabextract python3-pefile libunicorn-dev xvfb xauth xdotool python3)
win32=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386)
packages=()
[ $# -eq 0 ] && set -- host win32
for group in "$@"; do
  case $group in
    host) packages+=("${host[@]}") ;;
    win32) packages+=("${win32[@]}") ;;
    *) echo "usage: $0 [host] [win32]" >&2; exit 2 ;;
  esac
done

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
  done
}

mapfile -t missing < <(missing_packages)
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "missing packages (install them as root): ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=300 -qq)
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
for attempt in 1 2 3; do
  if "${apt[@]}" update >/dev/null 2>&1; then
    break
  fi
  echo "install-deps: apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep $((attempt * ${CRESTUNE_APT_RETRY_DELAY:-5}))
done
if ! "${apt[@]}" install -y --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
  # One at a time, so that one package the index cannot give does not keep
  # back all the others.
  for p in "${missing[@]}"; do
    "${apt[@]}" install -y --no-install-recommends "$p" >/dev/null 2>&1 || true
  done
fi
mapfile -t still < <(missing_packages)
if [ ${#still[@]} -gt 0 ]; then
  echo "install-deps: could not install: ${still[*]}" >&2
  exit 1
fi
