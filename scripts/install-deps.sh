#!/usr/bin/env bash
# Installs the Debian packages Kestrivane builds and tests with. Idempotent:
# the package lists are refreshed only when something is missing.
# Usage: install-deps.sh [--run]   (--run: only what building and running the application need)
#        install-deps.sh --list [--run]   (prints the packages instead of installing them)
set -euo pipefail

# Building and running the application.
run_packages=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qcoro-qt6-dev
  libsecret-1-dev libxcb1-dev libxcb-keysyms1-dev libx11-xcb-dev
  gnome-keyring  # a Secret Service for the sign-in tokens, started on demand over D-Bus
  xdg-utils fonts-noto-cjk hicolor-icon-theme
  qt6-translations-l10n  # Qt's own texts (network and file errors) in Japanese
)

# The tests, the benchmarks and the fuzz targets.
test_packages=(
  clang libclang-rt-14-dev  # the fuzz targets (libFuzzer)
  libgtest-dev libgmock-dev libbenchmark-dev
  dbus dbus-x11 libsecret-tools xvfb xauth xdotool dunst trayer
  x11-utils desktop-file-utils
  at-spi2-core python3-pyatspi  # accessibility bus and the screen-reader side of the AT-SPI tests
  chromium  # headless browser of the sign-in page test
  openbox  # a window manager for the window-move test
)

only_run=false
list=false
for argument in "$@"; do
  case $argument in
    --run) only_run=true ;;
    --list) list=true ;;
    *) echo "install-deps.sh: unknown argument $argument" >&2; exit 2 ;;
  esac
done

packages=("${run_packages[@]}")
$only_run || packages+=("${test_packages[@]}")
if $list; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
