#!/usr/bin/env bash
# Every test: installs what is missing, then the host build and its tests,
# the sanitizer build and its tests, a short run of every fuzz target, and
# the real Win32 DLLs under Wine.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh host
# Wine's i386 packages come from an index of their own, the one most often
# caught mid-sync: without them the Wine stage cannot run, and says so at the
# end instead of failing the rest (CRESTUNE_REQUIRE_WINE=1 makes it an error).
win32_missing=$(tools/install-deps.sh win32 2>&1) && win32_missing=
jobs=$(nproc)

echo "== host build (the device build with it) and tests (the soak among them; pefile and cabextract on the device build)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
tests/product/counts.sh build

echo "== bench, quick: it runs and prints its table (figures: docs/performance.md)"
timeout 120 build/bin/crestune bench --quick

echo "== sanitizer build (ASan, UBSan) and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCRESTUNE_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# The soak (label soak) runs once, above: under the sanitizers it takes
# several times as long, past the budget of about two minutes it keeps.
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE soak

echo "== fuzz targets, 20 s each (libFuzzer, ASan, UBSan)"
tests/fuzz/run.sh 20

echo "== Win32 build under Wine"
if [ -z "$win32_missing" ]; then
  win32/run-tests.sh build build-win32
else
  echo "NOT RUN: the Win32 build and its tests under Wine need packages that could not be installed"
  echo "  $win32_missing"
  [ "${CRESTUNE_REQUIRE_WINE:-0}" = 1 ] && exit 1
fi
