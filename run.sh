#!/usr/bin/env bash
# Installs what is missing, builds vadrel and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target vadrel
exec "$BUILD_DIR/src/app/vadrel" "$@"
