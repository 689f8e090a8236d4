#!/usr/bin/env bash
# Installs the Debian packages vadrel needs to build, test and run.
# Safe to re-run: it only asks apt for what is missing. It installs packages
# and nothing else: no system service is started, stopped or disabled (the
# tests start their own gpsd on a port of their own).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libxcb1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  gpsd python3-nmea2
  xvfb xauth x11-utils xdotool imagemagick
  python3
)
packages+=("$@")

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
      echo "$p"
    fi
  done
}

missing=($(missing_packages))
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Two builds started together wait for each other here instead of failing on
# apt's lock; the second then finds nothing missing.
exec 9>"${TMPDIR:-/tmp}/vadrel-install-deps.lock"
flock 9
missing=($(missing_packages))
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
echo "Installo i pacchetti mancanti: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
