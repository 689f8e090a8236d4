#!/usr/bin/env bash
# Installs what running needs (not what testing needs: ./test.sh does),
# builds vadrel and starts it.
#
# With no options COM 2 is a virtual serial port (its path is printed), so the
# simulator works on a machine without serial hardware; any options given are
# passed to vadrel instead (vadrel --help lists them). With a screen the
# window opens; without one vadrel runs headless and prints the sentences.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
# Built as Debian builds it, as ./test.sh builds it in the same folder; the
# tests are ./test.sh's: their frameworks are not needed to run vadrel.
./scripts/configure.sh "$BUILD_DIR" -DVADREL_TESTS=OFF -DVADREL_WERROR=ON
cmake --build "$BUILD_DIR" --target vadrel
if [ "$#" -eq 0 ]; then
  set -- --com 2=pty
fi
exec "$BUILD_DIR/src/app/vadrel" "$@"
