#!/usr/bin/env bash
# Installs what is missing, builds Kestrivane twice (a normal build and one with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs every test of both inside a throwaway desktop session,
# then runs the fuzz targets of the parsers for a bounded time (scripts/fuzz.sh). Every step runs
# even when an earlier one failed; the last line adds them up ("N passed, M failed": the tests of
# both builds and the fuzz targets, a build that failed counting as one failure), and the exit
# status is non-zero when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
passed=0
failed=0

# count <log> <regex of the closing line> <sed expression giving "passed failed" of it>: adds a
# step's closing line to the totals; a log without one (its build failed) counts as one failure.
count() {
  local line
  line=$(grep -E "$2" "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local good bad
  read -r good bad < <(sed -E "$3" <<<"$line")
  passed=$((passed + good))
  failed=$((failed + bad))
}

# ctest: "97% tests passed, 3 tests failed out of 120" (passed: the arithmetic "120-3").
count_ctest() {
  count "$1" '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' \
    's/^.* passed, ([0-9]+) tests? failed out of ([0-9]+).*$/\2-\1 \1/'
}

# The fuzz step: "fuzz: 5 passed, 0 failed".
count_fuzz() {
  count "$1" '^fuzz: [0-9]+ passed, [0-9]+ failed$' 's/^fuzz: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/'
}

summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# run_suite <log> <build folder> [ctest arguments] -- [CMake arguments]
run_suite() {
  local log=$1 build=$2
  shift 2
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    ctest_args+=("$1")
    shift
  done
  shift || true
  {
    "$root/scripts/build.sh" "$build" "$@" &&
      "$root/scripts/test-session.sh" ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" \
        --timeout 300 "${ctest_args[@]}"
  } 2>&1 | tee "$log"
}

if ! "$root/scripts/install-deps.sh"; then
  failed=$((failed + 1))
  summary
  exit 1
fi

run_suite "$logs/normal.log" "$root/build"
count_ctest "$logs/normal.log"
# The idle wake-up measurement (two minutes, label "idle") runs in the normal build only; the
# benchmarks are built in the normal build only.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$logs/asan.log" "$root/build-asan" -LE idle -- -DKESTRIVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DKESTRIVANE_BUILD_BENCHMARKS=OFF
count_ctest "$logs/asan.log"
"$root/scripts/fuzz.sh" 2>&1 | tee "$logs/fuzz.log"
count_fuzz "$logs/fuzz.log"
summary
