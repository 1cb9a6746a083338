#!/usr/bin/env bash
# Installs what is missing, builds Kestrivane twice (a normal build and one with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs every test of both inside a throwaway desktop session.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

run_suite() {
  local build=$1
  shift
  "$root/scripts/build.sh" "$build" "$@"
  "$root/scripts/test-session.sh" ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300
}

run_suite "$root/build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$root/build-asan" -DKESTRIVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
