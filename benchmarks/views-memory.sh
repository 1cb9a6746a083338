#!/usr/bin/env bash
# Idle memory of the whole application in demo mode after the tray panel and the Today window were
# each opened and closed once, then after the Today window was opened (by its hot key) and closed
# (by its close control) 200 more times. Under Xvfb with a tray (trayer); run inside the test session:
#     scripts/test-session.sh benchmarks/views-memory.sh [build folder] [cycles]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cycles=${2:-200}
program="$build/app/kestrivane"
[ -n "${DISPLAY:-}" ] || { echo "no X display: run through scripts/test-session.sh" >&2; exit 1; }

home=$(mktemp -d)
trap 'kill "$app" "$tray" 2>/dev/null || true; rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
export KESTRIVANE_SKIP_LAUNCH_LOCATION_CHECK=1 KESTRIVANE_APPCAST_URL=http://127.0.0.1:9/appcast.xml

trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
tray=$!
sleep 1

icon() { xwininfo -root -tree | grep -E '^ {8,}0x[0-9a-f]+ .*\("kestrivane" "kestrivane"\)' | awk '{ print $1 }' | head -1; }
today() { xdotool search --onlyvisible --name "^Today's Meetings$" 2>/dev/null | head -1 || true; }
# The shown tray panel: a mapped top-level window whose role is menu-bar-panel.
panel() {
  for id in $(xwininfo -root -children | awk '/^ +0x[0-9a-f]+ / { print $1 }'); do
    xprop -id "$id" WM_WINDOW_ROLE 2>/dev/null | grep -q '"menu-bar-panel"' \
      && xwininfo -id "$id" | grep -q 'Map State: IsViewable' && { echo "$id"; return; }
  done
  true
}
memory() { echo "RSS $(awk '/^VmRSS/ { print $2 }' "/proc/$app/status") KiB, PSS $(awk '/^Pss:/ { print $2 }' "/proc/$app/smaps_rollup") KiB"; }
wait_for() { for _ in $(seq 1 400); do eval "$1" && return 0; sleep 0.025; done; echo "timed out: ${2:-$1}" >&2; exit 1; }

"$program" --demo-data --demo-locale=en >/dev/null 2>&1 &
app=$!
wait_for '[ -n "$(icon)" ]'
wait_for '[ -n "$(today)" ]'
sleep 2
echo "after start-up (Today window open): $(memory)"

# The panel: a click on the icon, then Escape; a panel that did not open makes the figures void.
xdotool mousemove --window "$(icon)" 8 8 click 1
wait_for '[ -n "$(panel)" ]' "the tray panel did not open"
sleep 0.5
xdotool key Escape
wait_for '[ -z "$(panel)" ]' "the tray panel did not close"
sleep 0.3
# The Today window: its close control.
xdotool mousemove --window "$(today)" 18 19 click 1
wait_for '[ -z "$(today)" ]'
sleep 5
echo "idle after the panel and the Today window were opened and closed once: $(memory)"

for _ in $(seq 1 "$cycles"); do
  xdotool key ctrl+alt+super+m
  wait_for '[ -n "$(today)" ]'
  xdotool mousemove --window "$(today)" 18 19 click 1
  wait_for '[ -z "$(today)" ]'
done
sleep 5
echo "idle after the Today window was opened and closed $cycles more times: $(memory)"
