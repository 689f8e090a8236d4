#!/usr/bin/env bash
# Starts vadrel with its window under a virtual X server, checks the window's
# client area (594 x 407 pixels at 96 dpi, plus the menu bar) and writes the
# picture of the window to docs/screenshot.png.
#
#   scripts/screenshot.sh [OUTPUT.png]
#
# BUILD_DIR (default: build) is the build folder; the program is built there
# when it is missing. The program runs on a virtual port (--com 2=pty) with a
# scratch folder for its vadrel.cnf, so no hardware and no saved table is used.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=/dev/null
source "$root/scripts/x-window.sh"
out=${1:-$root/docs/screenshot.png}
caption="Quorvel vadrel - Simulatore GPS"

if [ "${VADREL_INSIDE_XVFB:-}" != 1 ]; then
    "$root/scripts/install-deps.sh" xvfb xauth x11-utils imagemagick x11-apps
    BUILD_DIR=${BUILD_DIR:-build}
    case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$root/$BUILD_DIR" ;; esac
    if [ ! -x "$BUILD_DIR/src/app/vadrel" ]; then
        cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
        cmake --build "$BUILD_DIR" --target vadrel
    fi
    mkdir -p "$(dirname "$out")"
    export VADREL_INSIDE_XVFB=1 VADREL="$BUILD_DIR/src/app/vadrel"
    exec xvfb-run -a -s "-noreset -screen 0 1024x768x24 -dpi 96" "$0" "$out"
fi

# From here on we run inside the virtual X server.
scratch=$(mktemp -d)
pid=""
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap finish EXIT

"$VADREL" --cartella "$scratch" --com 2=pty >"$scratch/vadrel.out" 2>&1 &
pid=$!

# The window, found by its caption; 10 s at most.
window=""
for _ in $(seq 100); do
    window=$(window_with_caption "$caption")
    [ -n "$window" ] && break
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "vadrel è terminato prima di mostrare la finestra:" >&2
        cat "$scratch/vadrel.out" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "La finestra \"$caption\" non è comparsa entro 10 secondi." >&2
    exit 1
fi

info=$(xwininfo -id "$window")
width=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
height=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
menu=$((height - 407))
echo "Finestra $window: ${width}x${height} (area client 594x407, barra dei menu ${menu} pixel)"
if [ "$width" -ne 594 ] || [ "$menu" -lt 10 ] || [ "$menu" -gt 60 ]; then
    echo "Dimensioni inattese: attese 594 x (407 + barra dei menu)." >&2
    exit 1
fi

# Wait until the panel is painted: its grey shows in the empty corner at the
# bottom right of the client area; 10 s at most.
convert=/usr/bin/convert
corner="%[pixel:p{590,$((menu + 400))}]"
painted=no
for _ in $(seq 100); do
    xwd -id "$window" -silent >"$scratch/window.xwd"
    colour=$("$convert" "xwd:$scratch/window.xwd" -format "$corner" info: 2>/dev/null || true)
    case "$colour" in
        "srgb(192,192,192)" | "gray(192)" | "grey(192)" | "gray(75.2941%)" | "grey75") painted=yes; break ;;
    esac
    sleep 0.1
done
if [ "$painted" != yes ]; then
    echo "Attenzione: lo sfondo grigio non compare (ultimo colore letto: $colour)." >&2
fi
# Then for the first tick: its sentence shows on the monitor's first line as
# dark pixels; 5 s at most.
line="300x12+6+$((menu + 118))"
for _ in $(seq 50); do
    darkest=$("$convert" "xwd:$scratch/window.xwd" -crop "$line" +repage -colorspace gray \
        -format "%[fx:int(255*minima)]" info: 2>/dev/null || echo 255)
    [ "${darkest:-255}" -lt 100 ] && break
    sleep 0.1
    xwd -id "$window" -silent >"$scratch/window.xwd"
done
"$convert" "xwd:$scratch/window.xwd" "png:$out"
echo "Scritto $out"
