#!/usr/bin/env bash
# Fuzzes the configuration file reader for SECONDS (default 60).
#
#   scripts/fuzz.sh [SECONDS]
#
# Builds fuzz_config with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, then runs it on a copy of the seed
# corpus fuzz/corpus/config. New inputs go to fuzz/corpus-new/config (ignored by
# git; copy the interesting ones into the seed corpus by hand), a crashing input
# to fuzz/corpus-new/crash-*. Exits non-zero when the fuzzer finds a fault.
set -euo pipefail

seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "uso: $0 [SECONDI]" >&2; exit 2 ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
new="$root/fuzz/corpus-new"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DVADREL_FUZZ=ON -DVADREL_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_config

seeds="$(mktemp -d)"
trap 'rm -rf "$seeds"' EXIT
cp "$root"/fuzz/corpus/config/* "$seeds/"
mkdir -p "$new/config"

# The first folder receives what the fuzzer finds; the seeds are only read.
"$build/fuzz/fuzz_config" \
  -max_total_time="$seconds" \
  -max_len=4096 \
  -timeout=10 \
  -print_final_stats=1 \
  -dict="$root/fuzz/config.dict" \
  -artifact_prefix="$new/crash-" \
  "$new/config" "$seeds"
