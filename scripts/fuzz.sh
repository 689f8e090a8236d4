#!/usr/bin/env bash
# Fuzzes each reader for SECONDS (default 60) apiece:
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     # TARGET: config position settings (default: all)
#
# Builds the targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, then runs each on a copy of its
# seed corpus fuzz/corpus/TARGET. New inputs go to fuzz/corpus-new/TARGET
# (ignored by git; copy the interesting ones into the seed corpus by hand), a
# crashing input to fuzz/corpus-new/TARGET-crash-*. Exits non-zero when a
# fuzzer finds a fault.
set -euo pipefail

all_targets=(config position settings)

seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "uso: $0 [SECONDI] [${all_targets[*]}]" >&2; exit 2 ;;
esac
shift || true
targets=("${@:-${all_targets[@]}}")

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
new="$root/fuzz/corpus-new"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DVADREL_FUZZ=ON -DVADREL_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

seeds="$(mktemp -d)"
trap 'rm -rf "$seeds"' EXIT

# One target: its seeds copied (only read), its dictionary and its own flags
# (fuzz/TARGET.flags, one a line) when it has them.
fuzz_target() {
  local target="$1" dict=() flags=()
  mkdir -p "$seeds/$target" "$new/$target"
  cp "$root/fuzz/corpus/$target"/* "$seeds/$target/"
  if [ -f "$root/fuzz/$target.dict" ]; then dict=(-dict="$root/fuzz/$target.dict"); fi
  if [ -f "$root/fuzz/$target.flags" ]; then mapfile -t flags < <(grep -v '^#' "$root/fuzz/$target.flags"); fi
  echo "== fuzz_$target, $seconds s" >&2
  # The first folder receives what the fuzzer finds.
  "$build/fuzz/fuzz_$target" \
    -max_total_time="$seconds" \
    -max_len=4096 \
    -timeout=10 \
    -print_final_stats=1 \
    "${dict[@]}" "${flags[@]}" \
    -artifact_prefix="$new/$target-crash-" \
    "$new/$target" "$seeds/$target"
}

for target in "${targets[@]}"; do
  fuzz_target "$target"
done
