#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs `crestune demo` on
# a fresh emulated device. Its screenshots, contact sheet and transcript go
# to demo-output/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh host
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j"$(nproc)" --target crestune >/dev/null
build/bin/crestune demo --out "${1:-demo-output}"
