#!/usr/bin/env bash
# The product suite's counts on both of the stand-in's builds, in the words
# of the Wine run's line: the host build's libraries (x86-64) and the device
# build's (ARM, on the emulated StrongARM).
#
#   tests/product/counts.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
status=0
for which in host device; do
  dir=$build/lib label="host build (x86-64)"
  [ $which = device ] && dir=$build/device label="device build (ARM, emulated SA-1110)"
  log=$(CRESTUNE_LIB_DIR=$build/lib CRESTUNE_PRODUCT_LIB_DIR=$dir "$build/bin/product_tests" 2>&1)
  code=$?
  ran=$(sed -nE 's/^\[==========\] ([0-9]+) tests? from .* ran\..*/\1/p' <<<"$log")
  passed=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\./\1/p' <<<"$log")
  skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:/\1/p' <<<"$log")
  failed=$((${ran:-0} - ${passed:-0} - ${skipped:-0}))
  [ "$code" = 0 ] && [ -n "$ran" ] || status=1
  echo "product tests on the stand-in, $label: ${passed:-0} passed, $failed failed, ${skipped:-0} skipped"
done
exit $status
