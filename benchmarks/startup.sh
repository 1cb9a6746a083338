#!/usr/bin/env bash
# Start-up to tray icon and idle memory of the whole application in demo mode, under Xvfb with a
# tray (trayer). Run inside the test session:
#     scripts/test-session.sh benchmarks/startup.sh [build folder] [runs]
# Prints, per run, the milliseconds from exec to the icon embedded in the tray and the resident and
# proportional memory after 5 s of idling, then the medians.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
program="$build/app/kestrivane"
[ -n "${DISPLAY:-}" ] || { echo "no X display: run through scripts/test-session.sh" >&2; exit 1; }

home=$(mktemp -d)
trap 'kill "$tray" 2>/dev/null || true; rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
# A build under the temporary folder would only show the launch-location warning.
export KESTRIVANE_SKIP_LAUNCH_LOCATION_CHECK=1
# No update server to wait for.
export KESTRIVANE_APPCAST_URL=http://127.0.0.1:9/appcast.xml

trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
tray=$!
sleep 1

# The icon: a window of class kestrivane nested below a top-level window (the tray's).
embedded() { xwininfo -root -tree | grep -qE '^ {8,}0x[0-9a-f]+ .*\("kestrivane" "kestrivane"\)'; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

startup=() rss=() pss=()
for run in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  "$program" --demo-data >/dev/null 2>&1 &
  app=$!
  until embedded; do sleep 0.005; done
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  sleep 5
  kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$app/status")
  pkb=$(awk '/^Pss:/ { print $2 }' "/proc/$app/smaps_rollup")
  kill -TERM "$app"
  wait "$app"
  while embedded; do sleep 0.05; done
  echo "run $run: tray icon after ${ms} ms, idle RSS ${kb} KiB, PSS ${pkb} KiB"
  startup+=("$ms") rss+=("$kb") pss+=("$pkb")
done
echo "median: tray icon after $(printf '%s\n' "${startup[@]}" | median) ms," \
     "idle RSS $(printf '%s\n' "${rss[@]}" | median) KiB, PSS $(printf '%s\n' "${pss[@]}" | median) KiB"
