#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvi need,
# and only those that are missing, so a second run costs nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # libical: reads and writes the iCalendar files of Export and Import
  libical-dev
  fonts-dejavu-core
  xvfb xauth
  desktop-file-utils dpkg-dev file
  lintian appstream
  # dbus-daemon: the notification tests start a session bus of their own
  dbus
  # a second iCalendar reader, apart from libical, for the exported file
  python3-icalendar
)
# The fuzzing build needs clang and its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = "fuzz" ]; then
  packages=(clang libclang-rt-14-dev libical-dev)
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
