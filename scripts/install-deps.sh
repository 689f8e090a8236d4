#!/usr/bin/env bash
# Installs the Debian packages vadrel needs to build, test and run.
# Safe to re-run: it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  gpsd
  xvfb xauth x11-utils
  python3
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "Installo i pacchetti mancanti: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# gpsd's package enables a system service; the tests start their own gpsd.
if command -v systemctl >/dev/null 2>&1; then
  $SUDO systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
fi
