#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvi need,
# and only those that are missing, so a second run costs nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-dejavu-core
  xvfb xauth
  desktop-file-utils dpkg-dev file
  lintian appstream
  # dbus-daemon: the notification tests start a session bus of their own
  dbus
)
# The fuzzing build needs clang and its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = "fuzz" ]; then
  packages=(clang libclang-rt-14-dev)
fi
# The static checks of `make check`: clang, clang-tidy of the same version
# (14, as in the fuzzing build), and clazy, the Qt-aware checker built on it.
if [ "${1:-}" = "check" ]; then
  packages=(clang clang-tidy clazy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
