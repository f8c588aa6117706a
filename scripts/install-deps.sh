#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvi need,
# and only those that are missing, so a second run costs nothing. Also makes
# the en_US.UTF-8 locale the tests run in, which a fresh Debian has not.
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
  locales
  # a second iCalendar reader, apart from libical, for the exported file
  python3-icalendar
  # sync with a calendar server: the password in the desktop's secret store,
  # and the CalDAV server the sync tests and benchmark run against
  qtkeychain-qt6-dev
  radicale
  # a real Secret Service for the password tests, on their own session bus,
  # and secret-tool to read back what Quorvi stored there
  gnome-keyring
  libsecret-tools
  # a certificate no one trusts, for the sync tests' https server
  openssl
)
# The fuzzing build needs clang and its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = "fuzz" ]; then
  packages=(clang libclang-rt-14-dev libical-dev)
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
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

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Through /etc/locale.gen, so that a later locale-gen (run when the locales
# package is upgraded) keeps it.
if [ "${1:-}" != "fuzz" ] && ! locale -a 2>/dev/null | grep -qix 'en_US\.utf-\?8'; then
  echo "Generating the en_US.UTF-8 locale"
  if grep -q '^# *en_US\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $sudo sed -i 's/^# *\(en_US\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  else
    echo 'en_US.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
