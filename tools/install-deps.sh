#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (as root), or
# says which are missing (as anyone else).
set -euo pipefail
# llvm brings llvm-rc, which runs clang as the resource scripts' preprocessor;
# libclang-rt-14-dev is clang's runtime of libFuzzer and the sanitizers
# (tests/fuzz).
# fonts-wine brings Wine's free Tahoma, the stand-in's system face.
# libglib2.0-dev is GDBus, the player's bridge to desktop players over D-Bus;
# its tests run mpv with its MPRIS script on a private session bus
# (dbus-daemon) and ask it with playerctl.
packages=(cmake g++ make llvm clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libfreetype-dev libpng-dev libsdl2-dev
          fonts-wine libglib2.0-dev dbus-daemon mpv mpv-mpris playerctl
          g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xauth xdotool python3)
if [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get -o DPkg::Lock::Timeout=300 update -qq
  apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
else
  missing=()
  for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "missing packages (install them as root): ${missing[*]}" >&2
    exit 1
  fi
fi
