#!/usr/bin/env bash
# Installs what testing needs, builds vadrel and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --test
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADREL_TESTS=ON -DVADREL_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 2 "$@"
