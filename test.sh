#!/usr/bin/env bash
# Installs what testing needs, builds vadrel and runs every test.
#
#   ./test.sh [CTEST_OPTION...]   # e.g. ./test.sh -R config
#   ./test.sh --build-only        # installs and builds, runs nothing
#
# The build has Debian's compiler flags (scripts/configure.sh), so that CI
# makes the package from this same build.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh --test
BUILD_DIR=${BUILD_DIR:-build}
./scripts/configure.sh "$BUILD_DIR" -DVADREL_TESTS=ON -DVADREL_WERROR=ON
cmake --build "$BUILD_DIR"
if [ "${1:-}" = "--build-only" ]; then
  exit 0
fi
# Four at a time on two cores: the tests that take long spend it waiting for
# real seconds (the whole suite uses about a tenth of the time it takes in
# CPU), and those that time arrivals take turns in one of the four.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j 4 "$@"
