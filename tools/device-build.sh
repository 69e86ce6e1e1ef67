#!/bin/bash
# Builds the device libraries: BUILD_DIR/crestitem.dll and BUILD_DIR/setup.dll,
# Windows CE 3.0 ARM PE images (device/CMakeLists.txt says how). Exits
# non-zero, saying why, when it cannot.
#   tools/device-build.sh BUILD_DIR
set -uo pipefail

fail() {
  echo "device-build: $*" >&2
  exit 1
}

[ $# -eq 1 ] || fail "usage: tools/device-build.sh BUILD_DIR"
build_dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)

for tool in cmake clang ld.lld llvm-rc; do
  command -v "$tool" >/dev/null || command -v "$tool-14" >/dev/null ||
    fail "$tool is missing (Debian's clang-14, lld-14 and llvm-14 packages; tools/install-deps.sh installs them)"
done

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$build_dir" || fail "cannot make $build_dir"
if ! cmake -S "$root/device" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >"$build_dir/configure.log" 2>&1; then
  cat "$build_dir/configure.log" >&2
  fail "configuring $build_dir failed (above, and in $build_dir/configure.log)"
fi
# A build of its own, also when a make runs this script: the calling make's
# job server is not handed to a custom command's recipe.
env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS cmake --build "$build_dir" -j2 || fail "the build failed (see above)"

for dll in crestitem.dll setup.dll; do
  [ -s "$build_dir/$dll" ] || fail "$build_dir/$dll was not written"
done
echo "device-build: $build_dir/crestitem.dll $build_dir/setup.dll"
