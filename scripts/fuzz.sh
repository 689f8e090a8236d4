#!/usr/bin/env bash
# Fuzzes each reader for SECONDS (default 60) apiece: every target
# fuzz/fuzz_NAME.cpp, or only the NAMEs given.
#
#   scripts/fuzz.sh [SECONDS] [NAME...]      e.g. scripts/fuzz.sh 300 nmea_log
#
# Builds the targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in BUILD_DIR (default build-fuzz; CI gives the
# server build of scripts/check-builds.sh, which has them built already),
# then runs each in turn on a copy of its seed corpus fuzz/corpus/NAME, with
# its dictionary fuzz/NAME.dict and its own flags fuzz/NAME.flags (one a
# line) when it has them. New inputs go
# to fuzz/corpus-new/NAME (ignored by git; copy the interesting ones into the
# seed corpus by hand), a crashing input to fuzz/corpus-new/NAME-crash-*.
# Exits non-zero when a fuzzer finds a fault; the other targets run all the
# same.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
new="$root/fuzz/corpus-new"

seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "uso: $0 [SECONDI] [NOME...]" >&2; exit 2 ;;
esac
shift $(( $# > 0 ? 1 : 0 ))
names=("$@")
if [ "${#names[@]}" -eq 0 ]; then
  for source in "$root"/fuzz/fuzz_*.cpp; do
    name="${source##*/fuzz_}"
    names+=("${name%.cpp}")
  done
fi

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev

# A new folder gets the sanitized builds' flags (-O1); one made already,
# such as CI's server build, keeps its own.
initial_cache=()
if [ ! -f "$build/CMakeCache.txt" ]; then initial_cache=(-C "$root/cmake/sanitized.cmake"); fi
cmake -S "$root" -B "$build" -G Ninja "${initial_cache[@]}" \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DVADREL_FUZZ=ON -DVADREL_TESTS=OFF >/dev/null
# Each target the build defines (the tile decoder only where the window is
# built); one named by hand that the build lacks is an error.
if [ "$#" -eq 0 ]; then
  defined=$(cmake --build "$build" --target help | sed -n 's/^\(fuzz_[a-z_]*\):.*/\1/p')
  kept=()
  for name in "${names[@]}"; do
    if grep -qx "fuzz_$name" <<<"$defined"; then kept+=("$name"); else echo "== fuzz_$name: not in this build" >&2; fi
  done
  names=("${kept[@]}")
fi
cmake --build "$build" --target "${names[@]/#/fuzz_}"

seeds="$(mktemp -d)"
trap 'rm -rf "$seeds"' EXIT

# One target: its seeds copied (they are only read), what it finds in its own folder.
fuzz_one() {
  local name="$1" dict=() flags=()
  mkdir -p "$seeds/$name" "$new/$name"
  cp "$root/fuzz/corpus/$name"/* "$seeds/$name/"
  if [ -f "$root/fuzz/$name.dict" ]; then dict=(-dict="$root/fuzz/$name.dict"); fi
  if [ -f "$root/fuzz/$name.flags" ]; then mapfile -t flags < <(grep -v '^#' "$root/fuzz/$name.flags"); fi
  echo "== fuzz_$name: $seconds s" >&2
  "$build/fuzz/fuzz_$name" \
    -max_total_time="$seconds" \
    -max_len=4096 \
    -timeout=10 \
    -print_final_stats=1 \
    "${dict[@]}" "${flags[@]}" \
    -artifact_prefix="$new/$name-crash-" \
    "$new/$name" "$seeds/$name"
}

failed=0
for name in "${names[@]}"; do
  fuzz_one "$name" || failed=1
done
exit "$failed"
