#!/usr/bin/env bash
# Installs the Debian packages vadrel needs, and nothing else:
#
#   scripts/install-deps.sh [PACKAGE...]          # to build and run vadrel (./run.sh)
#   scripts/install-deps.sh --test [PACKAGE...]   # to build and run every test (./test.sh):
#                                                 # also the test frameworks and the real
#                                                 # clients the end-to-end tests use
#
# With --test it also installs Signal K's NMEA parser and canboat's NMEA 2000
# decoder (real clients of the end-to-end tests) from the npm registry into a folder of its own outside the
# tree: $VADREL_NPM_DIR, by default ~/.cache/vadrel/npm. PACKAGEs are further
# Debian packages a script needs (clang for the clang builds, say).
# Safe to re-run: it only installs what is missing. It installs packages
# and nothing else: no system service is started, stopped or disabled (the
# tests start their own gpsd on a port of their own).
set -euo pipefail

testing=false
if [ "${1:-}" = "--test" ]; then
  testing=true
  shift
fi

# Building and running: the compiler and Debian's compiler flags (dpkg-dev's
# dpkg-buildflags), Qt (with its HTTP server and WebSockets for the control
# interface), the X client library the window's display probe links, a font
# for the window, yaml-cpp for the scenario files (the package then depends on
# libyaml-cpp0.7, found by dpkg-shlibdeps).
packages=(
  cmake ninja-build g++ dpkg-dev pkg-config
  qt6-base-dev qt6-serialport-dev qt6-httpserver-dev qt6-websockets-dev qt6-translations-l10n libxcb1-dev
  libyaml-cpp-dev
  fonts-dejavu-core
)
npm_packages=()
if $testing; then
  # The test frameworks; ccache, so that a rebuild compiles only what changed;
  # the real clients (gpsd, pynmea2, gpsbabel, xmllint);
  # strace, to see the system calls of a save;
  # an X server and its tools for the window's tests.
  packages+=(
    libgtest-dev libgmock-dev
    gpsd python3-nmea2 python3-yaml gpsbabel libxml2-utils strace
    xvfb xauth x11-utils xdotool imagemagick openbox
    ccache
    python3
  )
  # Node.js and npm, for Signal K's parser: Debian's, where the machine has
  # none of its own (a Node.js that came with the machine carries its own npm).
  if ! command -v npm >/dev/null 2>&1; then packages+=(nodejs npm); fi
  npm_packages=("@signalk/nmea0183-signalk@3.20.1" "@canboat/canboatjs@3.20.0")
fi
packages+=("$@")

npm_dir="${VADREL_NPM_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vadrel/npm}"

missing_npm_packages() {
  local p name version
  for p in "${npm_packages[@]+"${npm_packages[@]}"}"; do
    name="${p%@*}"
    version="${p##*@}"
    if ! grep -qs "\"version\": \"$version\"" "$npm_dir/node_modules/$name/package.json"; then
      echo "$p"
    fi
  done
}

install_npm_packages() {
  local missing_npm
  missing_npm=($(missing_npm_packages))
  if [ "${#missing_npm[@]}" -eq 0 ]; then return 0; fi
  echo "Installo da npm: ${missing_npm[*]} in $npm_dir" >&2
  mkdir -p "$npm_dir"
  npm install --prefix "$npm_dir" --no-audit --no-fund --loglevel=error "${missing_npm[@]}" >/dev/null
}

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
      echo "$p"
    fi
  done
}

missing=($(missing_packages))
if [ "${#missing[@]}" -eq 0 ] && [ -z "$(missing_npm_packages)" ]; then
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
  install_npm_packages
  exit 0
fi
echo "Installo i pacchetti mancanti: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
install_npm_packages
