#!/usr/bin/env bash
# Builds the fuzz targets of the parsers (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer; fuzz/) into build-fuzz/ and runs each for a bounded time, two at a
# time, starting from its committed corpus (fuzz/corpus/<target>/, which the run does not change).
# FUZZ_SECONDS sets the time per target (default 20). A crash fails the run; its input is kept in
# build-fuzz/findings/ to be added to the corpus once fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${FUZZ_SECONDS:-20}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root/fuzz" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --parallel "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

run_target() {
  local name=$1
  mkdir -p "$work/$name"
  cp "$root/fuzz/corpus/$name/"* "$work/$name/"
  if "$build/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$name-" "$work/$name" >"$work/$name.log" 2>&1; then
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$')
    echo "fuzz $name: $runs runs in ${seconds} s ($((runs / seconds))/s), no finding"
  else
    echo "fuzz $name: FAILED"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$work/$name.log" | head -20
    return 1
  fi
}

targets=()
for source in "$root"/fuzz/targets/*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for name in "${targets[@]:i:2}"; do
    run_target "$name" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=$((failed + 1))
  done
done
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
