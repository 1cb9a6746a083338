#!/usr/bin/env bash
# Runs a command inside a throwaway desktop session: a private HOME, a private D-Bus session bus,
# an unlocked gnome-keyring (Secret Service) and an Xvfb display. Usage: test-session.sh COMMAND...
set -euo pipefail

if [ -z "${KESTRIVANE_TEST_SESSION:-}" ]; then
  export KESTRIVANE_TEST_SESSION=1
  session_home=$(mktemp -d /tmp/kestrivane-test-home.XXXXXX)
  trap 'rm -rf "$session_home"' EXIT
  export HOME="$session_home" XDG_CONFIG_HOME="$session_home/.config" XDG_DATA_HOME="$session_home/.local/share" \
         XDG_CACHE_HOME="$session_home/.cache" XDG_RUNTIME_DIR="$session_home/runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
  # dbus-run-session ends the bus (and what it started) when the command ends.
  set +e
  dbus-run-session -- "$0" "$@"
  status=$?
  exit $status
fi

cleanup() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${keyring_pid:-}" ] && kill "$keyring_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Secret Service: a login keyring created and unlocked with a throwaway password.
keyring_env=$(printf 'kestrivane-test' | gnome-keyring-daemon --unlock --components=secrets)
eval "$(printf '%s\n' "$keyring_env" | sed -n 's/^\(GNOME_KEYRING_[A-Z_]*\)=\(.*\)$/export \1="\2"/p')"
keyring_pid=${GNOME_KEYRING_PID:-}
for _ in $(seq 1 50); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true" && break
  sleep 0.1
done

# X display.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 display_number <&"$display_fd" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display_number"
export QT_QPA_PLATFORM=xcb

"$@"
