#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build-fuzz and runs
# each for SECONDS (default 20) from a copy of its committed corpus, as many
# at a time as there are cores. Fails on any crash, sanitizer report, leak,
# timeout or broken check, and keeps the input that did it in
# build-fuzz/findings/. New inputs go to a temporary folder: the committed
# corpus never grows by itself.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]     e.g. tests/fuzz/run.sh 600 dialog
set -euo pipefail
seconds=${1:-20}
shift || true
cd "$(dirname "$0")/../.."
root=$PWD
build=build-fuzz
corpus=tests/fuzz/corpus

# The longest input each target is given, in bytes.
declare -A max_len=([registry_file]=8192 [cab]=8192 [resources]=16384 [icon]=8192 [dialog]=4096
                    [item_settings]=16384 [setup_association]=16384 [script]=4096
                    [arm_image]=70000)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in "$corpus"/*/; do targets+=("$(basename "$d")"); done
fi

echo "== fuzz build (clang, libFuzzer, ASan, UBSan) in $build"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCRESTUNE_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CRESTUNE_LIB_DIR="$PWD/$build/lib"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target in a folder of its own, where its log, its exit status
# and anything it found stay.
run_one() {
  local t=$1 dir="$work/$1" status=0
  mkdir -p "$dir/corpus"
  cp "$corpus/$t"/* "$dir/corpus/"
  # A target's dictionary (tests/fuzz/<target>.dict), when it has one.
  local dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
  (cd "$dir" && "$root/$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
     -max_len="${max_len[$t]:-4096}" -artifact_prefix="$dir/" -print_final_stats=1 "${dict[@]}" corpus >log 2>&1) || status=$?
  echo "$status" >"$dir/status"
}

for t in "${targets[@]}"; do
  [ -x "$build/bin/fuzz_$t" ] || { echo "no fuzz target fuzz_$t" >&2; exit 2; }
done
echo "== fuzzing ${#targets[@]} targets for ${seconds}s each, $(nproc) at a time"
for t in "${targets[@]}"; do
  run_one "$t" &
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
done
wait
failed=()
for t in "${targets[@]}"; do
  [ "$(cat "$work/$t/status")" = 0 ] || failed+=("$t")
done

for t in "${targets[@]}"; do
  log="$work/$t/log"
  # A target that stopped before fuzzing (a bad option or dictionary) has no stats.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(grep -o 'exec/s: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  printf '%-18s %9s runs %7s exec/s  corpus %s -> %s inputs\n' "$t" "${runs:-?}" "${speed:-?}" \
    "$(ls "$corpus/$t" | wc -l)" "$(ls "$work/$t/corpus" | wc -l)"
done

if [ ${#failed[@]} -gt 0 ]; then
  mkdir -p "$build/findings"
  for t in "${failed[@]}"; do
    echo "== fuzz_$t found a problem:" >&2
    grep -E 'broken:|ERROR:|SUMMARY:|runtime error' "$work/$t/log" | head -5 >&2 || tail -20 "$work/$t/log" >&2
    mkdir -p "$build/findings/$t"
    cp "$work/$t/log" "$build/findings/$t/"
    find "$work/$t" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
      -exec cp {} "$build/findings/$t/" \;
    echo "   input and log kept in $build/findings/$t/; replay with $build/bin/fuzz_$t FILE" >&2
  done
  echo "fuzzing: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
  exit 1
fi
echo "fuzzing: ${#targets[@]} passed, 0 failed"
