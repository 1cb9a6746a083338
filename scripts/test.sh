#!/usr/bin/env bash
# Installs what is missing, builds Kestrivane twice (a normal build and one with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs every test of both inside a throwaway desktop session,
# then runs the fuzz targets of the parsers for a bounded time (scripts/fuzz.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

# run_suite <build folder> [ctest arguments] -- [CMake arguments]
run_suite() {
  local build=$1
  shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    ctest_args+=("$1")
    shift
  done
  shift || true
  "$root/scripts/build.sh" "$build" "$@"
  "$root/scripts/test-session.sh" ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300 "${ctest_args[@]}"
}

run_suite "$root/build"
# The idle wake-up measurement (two minutes, label "idle") runs in the normal build only; the
# benchmarks are built in the normal build only.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$root/build-asan" -LE idle -- -DKESTRIVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DKESTRIVANE_BUILD_BENCHMARKS=OFF
"$root/scripts/fuzz.sh"
