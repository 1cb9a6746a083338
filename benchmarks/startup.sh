#!/usr/bin/env bash
# Start-up, quit and idle memory of the whole application in demo mode, side by side with a bare Qt
# tray program (build/benchmarks/kestrivane_bare_tray: a tray icon, then one empty window), under
# Xvfb with a tray (trayer). Run inside the test session:
#     scripts/test-session.sh benchmarks/startup.sh [build folder] [pairs]
# Runs the two programs in interleaved pairs (the order alternating), each timed by
# kestrivane_startup_probe from the exec to its tray icon embedded and to its first window mapped,
# and from SIGTERM, 1 s later, to its exit. Prints every pair, then per measure the medians, the
# ranges and the ratios (of the medians, and the median of the pairs' ratios); then the
# application's resident and proportional memory after 5 s of idling.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pairs=${2:-20}
program="$build/app/kestrivane"
reference="$build/benchmarks/kestrivane_bare_tray"
probe="$build/benchmarks/kestrivane_startup_probe"
[ -n "${DISPLAY:-}" ] || { echo "no X display: run through scripts/test-session.sh" >&2; exit 1; }
for needed in "$program" "$reference" "$probe"; do
  [ -x "$needed" ] || { echo "missing $needed: build the benchmarks" >&2; exit 1; }
done

home=$(mktemp -d)
results="$home/results"
trap 'kill "$tray" 2>/dev/null || true; rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
# A build under the temporary folder would only show the launch-location warning.
export KESTRIVANE_SKIP_LAUNCH_LOCATION_CHECK=1
# No update server to wait for.
export KESTRIVANE_APPCAST_URL=http://127.0.0.1:9/appcast.xml

trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
tray=$!
sleep 1

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Column $1 (icon 2, window 4, quit 6) of the lines of program $2 (app or bare).
column() { awk -v c="$1" -v p="$2" '$1 == p { print $(c + 1) }' "$results"; }

measure() { # name, program and arguments
  local name=$1 line
  shift
  line=$("$probe" "$@") || { echo "$name: no tray icon or no window in time ($line)" >&2; exit 1; }
  echo "$name $line" >>"$results"
  echo "$line"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for pair in $(seq 1 "$pairs"); do
  if [ $((pair % 2)) -eq 1 ]; then
    app=$(measure app "$program" --demo-data)
    bare=$(measure bare "$reference")
  else
    bare=$(measure bare "$reference")
    app=$(measure app "$program" --demo-data)
  fi
  echo "pair $pair: application $app; bare $bare"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

for measure in "icon embedded:2" "first window mapped:4" "quit:6"; do
  title=${measure%:*} c=${measure#*:}
  app_median=$(column "$c" app | median)
  bare_median=$(column "$c" bare | median)
  pair_ratio=$(paste <(column "$c" app) <(column "$c" bare) | awk '{ print $1 / $2 }' | median)
  printf '%s: application median %s ms (%s to %s), bare %s ms (%s to %s); ratio of medians %.2f, median of pair ratios %.2f\n' \
    "$title" "$app_median" "$(column "$c" app | sort -n | head -1)" "$(column "$c" app | sort -n | tail -1)" \
    "$bare_median" "$(column "$c" bare | sort -n | head -1)" "$(column "$c" bare | sort -n | tail -1)" \
    "$(awk -v a="$app_median" -v b="$bare_median" 'BEGIN { print a / b }')" "$pair_ratio"
done

# Idle memory, once: the icon is there, then 5 s of idling.
"$program" --demo-data >/dev/null 2>&1 &
app=$!
until xwininfo -root -tree | grep -qE '^ {8,}0x[0-9a-f]+ .*\("kestrivane" "kestrivane"\)'; do sleep 0.05; done
sleep 5
echo "idle memory: RSS $(awk '/^VmRSS/ { print $2 }' "/proc/$app/status") KiB," \
     "PSS $(awk '/^Pss:/ { print $2 }' "/proc/$app/smaps_rollup") KiB"
kill -TERM "$app"
wait "$app" || true
