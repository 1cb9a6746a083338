#!/usr/bin/env bash
# Installs the Debian packages Kestrivane builds and tests with. Idempotent:
# the package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  clang libclang-rt-14-dev  # the fuzz targets (libFuzzer)
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-l10n-tools qcoro-qt6-dev
  libsecret-1-dev libxcb1-dev libxcb-keysyms1-dev libx11-xcb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  dbus dbus-x11 gnome-keyring libsecret-tools xvfb xauth xdotool dunst trayer
  xdg-utils x11-utils fonts-noto-cjk desktop-file-utils hicolor-icon-theme
  at-spi2-core python3-pyatspi  # accessibility bus and the screen-reader side of the AT-SPI tests
  chromium  # headless browser of the sign-in page test
  openbox  # a window manager for the window-move test
)

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
