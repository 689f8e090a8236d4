#!/usr/bin/env bash
# Installs what testing needs, builds vadrel and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --test
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADREL_TESTS=ON -DVADREL_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR"
# Three at a time on two cores: the tests that take long spend it waiting for
# real seconds (the whole suite uses about a tenth of the time it takes in
# CPU), and those that time arrivals take turns in one of the three.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 3 "$@"
