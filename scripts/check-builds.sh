#!/usr/bin/env bash
# The builds beside ./test.sh's (g++, with the window), warnings as errors:
#
#   scripts/check-builds.sh server   # a server build: clang++, VADREL_FINESTRA=OFF with
#                                    # Qt Gui and Qt Widgets made unfindable, no tests,
#                                    # sanitizers on; no binary it builds links either
#                                    # library and its program runs on a virtual port
#   scripts/check-builds.sh clang    # the whole tree, tests included, with clang++
#   scripts/check-builds.sh sanitize [g++|clang++]
#                                    # VADREL_SANITIZE=ON (AddressSanitizer and
#                                    # UndefinedBehaviorSanitizer, every finding fatal)
#                                    # without the window, g++ by default; the unit tests pass
#   scripts/check-builds.sh          # server and clang
#
# CI runs the server build; the build folders are build-server, build-clang and
# build-sanitize-g++ or build-sanitize-clang++. The server build also builds
# the fuzz targets (VADREL_FUZZ) on the same sanitized libraries, so that
# CI's fuzz run needs no clang build of its own: BUILD_DIR=build-server
# scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test clang libclang-rt-14-dev

# The server build: what is specific to it is that it builds and links
# without Qt Gui and Qt Widgets and that its program runs; its program is
# built with AddressSanitizer and UndefinedBehaviorSanitizer and runs three
# seconds on a virtual port. The unit tests run once, in ./test.sh; under the
# sanitizers by hand (sanitize below).
server_build() {
    local dir=build-server
    # -O0: this build is checked, not measured nor shipped, and builds in
    # two thirds of the time -O1 takes; line tables for the reports.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O0 -g1" -DCMAKE_UNITY_BUILD=OFF \
          -DCMAKE_CXX_COMPILER=clang++ \
          -DVADREL_WERROR=ON -DVADREL_SANITIZE=ON -DVADREL_FINESTRA=OFF -DVADREL_TESTS=OFF -DVADREL_FUZZ=ON \
          -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Gui=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Widgets=ON >/dev/null
    cmake --build "$dir"
    local binary linked=()
    while IFS= read -r binary; do
        if readelf -d "$binary" 2>/dev/null | grep -Eq 'NEEDED.*libQt6(Gui|Widgets)'; then
            linked+=("$binary")
        fi
    done < <(find "$dir" -type f -perm -u+x)
    if [ "${#linked[@]}" -ne 0 ]; then
        echo "FALLITO: la versione per server usa Qt Gui o Qt Widgets: ${linked[*]}" >&2
        exit 1
    fi
    echo "Nessun eseguibile della versione per server usa Qt Gui o Qt Widgets."
    server_runs "$dir/src/app/vadrel"
}

# The headless program, sanitized, three seconds on a virtual port in a new
# folder: it ends by itself with 0, its monitor shows $GPRMC sentences, its
# table is saved, and the sanitizers found nothing.
server_runs() {
    local program=$1 folder status=0
    folder=$(mktemp -d)
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        timeout 30 "$program" --senza-finestra --cartella "$folder" --com 2=pty --porta 2 --durata 3 \
        >"$folder/monitor" 2>"$folder/errori" || status=$?
    if [ "$status" -ne 0 ] || ! grep -q 'GPRMC' "$folder/monitor" || [ ! -s "$folder/vadrel.cnf" ]; then
        echo "FALLITO: la versione per server non funziona (uscita $status)" >&2
        cat "$folder/errori" >&2
        rm -rf "$folder"
        exit 1
    fi
    echo "La versione per server ha inviato $(grep -c 'GPRMC' "$folder/monitor") secondi su una porta virtuale e ha salvato la tabella."
    rm -rf "$folder"
}

run_sanitized() {
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$1" --output-on-failure -j 2 -E '^integration[.]'
}

clang_build() {
    local dir=build-clang
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
          -DVADREL_WERROR=ON >/dev/null
    cmake --build "$dir"
    ctest --test-dir "$dir" --output-on-failure -j 2
}

# The same sanitizers with either compiler, by hand.
sanitize_build() {
    local compiler="$1" dir="build-sanitize-$1"
    case "$compiler" in g++|clang++) ;; *) echo "uso: $0 sanitize [g++|clang++]" >&2; exit 2 ;; esac
    cmake -S . -B "$dir" -G Ninja -C cmake/sanitized.cmake -DCMAKE_CXX_COMPILER="$compiler" \
          -DVADREL_WERROR=ON -DVADREL_SANITIZE=ON -DVADREL_FINESTRA=OFF \
          -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Gui=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Widgets=ON >/dev/null
    cmake --build "$dir"
    run_sanitized "$dir"
}

case "${1:-all}" in
    server) server_build ;;
    clang) clang_build ;;
    sanitize) sanitize_build "${2:-g++}" ;;
    all) server_build && clang_build ;;
    *) echo "uso: $0 [server|clang|sanitize [g++|clang++]]" >&2; exit 2 ;;
esac
