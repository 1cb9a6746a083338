#!/usr/bin/env bash
# Installs what building and running Kestrivane need, builds the application alone (no tests, no
# benchmarks) into build-app/ and starts it. Arguments go to the application (for example
# --demo-data to run on built-in sample data without a Google account).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-app
"$root/scripts/install-deps.sh" --run
"$root/scripts/build.sh" "$build" -DKESTRIVANE_BUILD_TESTS=OFF -DKESTRIVANE_BUILD_BENCHMARKS=OFF
exec "$build/app/kestrivane" "$@"
