#!/bin/sh
# Times the item's operations on the device build (ARM on the emulated
# StrongARM), on the host build (native) and on the real DLLs under Wine in
# one go, and prints the three in one table with the ratios ARM/native and
# Wine/ARM.
#
#   win32/bench.sh <host build folder> <output folder> [--quick]
#
# The host build folder should be a Release build (its crestune runs the
# stand-in's side; its icons go into the DLLs). The output folder receives a
# Release Win32 build (build-win32-release), a fresh Wine prefix
# (wineprefix-bench), the Wine figures (wine-bench.txt) and the device
# build's as JSON (bench.json).
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ] || { [ $# -eq 3 ] && [ "$3" != --quick ]; }; then
  echo "usage: $0 <host build folder> <output folder> [--quick]" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
host=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
quick=${3:-}
build=$out/build-win32-release
prefix=$out/wineprefix-bench

if [ ! -x "$host/bin/crestune" ] || [ ! -f "$host/icons/icon_101.ico" ]; then
  echo "build the host build first: cmake --build $1 --target crestune" >&2
  exit 2
fi
grep -q '^CMAKE_BUILD_TYPE:STRING=Release' "$host/CMakeCache.txt" ||
  echo "note: $host is not a Release build; its figures say little" >&2

echo "== Win32 build (Release)"
cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/win32/toolchain-i686-mingw.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCRESTUNE_ICON_DIR="$host/icons" >"$out/configure-bench.log" ||
  { cat "$out/configure-bench.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target crestune_wine_bench crestitem setup aygshell >"$out/build-bench.log" ||
  { tail -30 "$out/build-bench.log"; exit 1; }

echo "== Wine"
rm -rf "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$build/bin"
mode=
[ "$quick" = --quick ] && mode=--quick
# As for the tests: one X display for the prefix's first start and the run,
# and Wine managing its own windows.
timeout 600 xvfb-run -a sh -c '
  wineboot -i >"$1/wineboot-bench.log" 2>&1 || { echo "wineboot -i failed" >&2; exit 3; }
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >>"$1/wineboot-bench.log" 2>&1
  wine crestune_wine_bench.exe $2; result=$?
  wineserver -k
  exit $result' sh "$out" "$mode" | tr -d '\r' >"$out/wine-bench.txt"
cat "$out/wine-bench.txt"

echo "== The device build (ARM, emulated), the host build (native) and Wine"
"$host/bin/crestune" bench $quick --build both --compare "$out/wine-bench.txt" --json "$out/bench.json"
