#!/usr/bin/env bash
# Start-up cost of the window: time from launch to the first shown (mapped and
# viewable) main window, and the peak resident memory of the whole run, under
# a virtual X server. Targets: shown within 0.5 s, peak at most 80 MB.
#
#   bench/startup.sh [RUNS]        (default 5 runs)
#
# BUILD_DIR (default: build) is the build folder; vadrel is built there when
# missing. Each run uses a scratch folder and a virtual port, and ends itself
# in order after a few seconds (--durata).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=/dev/null
source "$root/scripts/x-window.sh"
runs=${1:-5}
caption="Quorvel vadrel - Simulatore GPS"

if [ "${VADREL_INSIDE_XVFB:-}" != 1 ]; then
    "$root/scripts/install-deps.sh" time xvfb xauth x11-utils
    BUILD_DIR=${BUILD_DIR:-build}
    case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$root/$BUILD_DIR" ;; esac
    if [ ! -x "$BUILD_DIR/src/app/vadrel" ]; then
        cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
        cmake --build "$BUILD_DIR" --target vadrel
    fi
    export VADREL_INSIDE_XVFB=1 VADREL="$BUILD_DIR/src/app/vadrel"
    exec xvfb-run -a -s "-noreset -screen 0 1024x768x24 -dpi 96" "$0" "$runs"
fi

now_ms() { date +%s%3N; }

shown_ms=()
peak_kb=()
for run in $(seq "$runs"); do
    scratch=$(mktemp -d)
    start=$(now_ms)
    /usr/bin/time -v -o "$scratch/time.txt" \
        "$VADREL" --cartella "$scratch" --com 2=pty --durata 2 >"$scratch/out.txt" 2>&1 &
    pid=$!
    shown=""
    # Poll without pausing: each look costs a few milliseconds; 10 s at most.
    deadline=$((start + 10000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        id=$(window_with_caption "$caption")
        if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            shown=$(($(now_ms) - start))
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
    done
    wait "$pid" || true
    if [ -z "$shown" ]; then
        echo "run $run: la finestra non è comparsa" >&2
        cat "$scratch/out.txt" >&2
        rm -rf "$scratch"
        exit 1
    fi
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time.txt")
    printf 'run %d: finestra mostrata dopo %d ms, picco di memoria %.1f MB\n' \
        "$run" "$shown" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')"
    shown_ms+=("$shown")
    peak_kb+=("$kb")
    rm -rf "$scratch"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
max() { printf '%s\n' "$@" | sort -n | tail -1; }
m_shown=$(median "${shown_ms[@]}")
x_shown=$(max "${shown_ms[@]}")
x_peak=$(max "${peak_kb[@]}")
printf 'finestra mostrata: mediana %d ms, massimo %d ms (obiettivo 500 ms)\n' "$m_shown" "$x_shown"
printf 'picco di memoria: massimo %.1f MB (obiettivo 80 MB)\n' "$(awk -v k="$x_peak" 'BEGIN { print k / 1024 }')"
status=0
[ "$m_shown" -le 500 ] || { echo "oltre l'obiettivo di 0.5 s" >&2; status=1; }
[ "$x_peak" -le $((80 * 1024)) ] || { echo "oltre l'obiettivo di 80 MB" >&2; status=1; }
exit $status
