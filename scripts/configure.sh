#!/usr/bin/env bash
# Configures a build folder the way Debian builds a package: Debian's
# compiler and linker flags (dpkg-buildflags, with all hardening), installed
# under /usr. ./run.sh, ./test.sh and scripts/check-package.sh all build this
# way, so that one build serves the tests and the package. The program's
# sources are compiled in batches (CMake's unity build), each batch reading
# the Qt headers once; CI's clang build (scripts/check-builds.sh server) and a
# build by hand compile them one by one, which keeps each source whole by
# itself.
#
#   scripts/configure.sh BUILD_DIR [CMAKE_OPTION...]
#
# Needs dpkg-dev (dpkg-buildflags); scripts/install-deps.sh installs it.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$#" -ge 1 ] || { echo "uso: $0 CARTELLA [OPZIONE_CMAKE...]" >&2; exit 2; }
dir=$1
shift
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The flags go on the command line, not through the environment, which only
# seeds a new build folder.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_UNITY_BUILD=ON \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
      "$@" >/dev/null
