#!/usr/bin/env bash
# Installs what is missing, builds and starts Kestrivane. Arguments go to the application
# (for example --demo-data to run on built-in sample data without a Google account).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "$root/build/app/kestrivane" "$@"
