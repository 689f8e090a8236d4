#!/usr/bin/env bash
# The real program with its real window on a real (virtual) X server: the
# window appears, its client area is 594 x 407 pixels below the menu bar, and
# a termination request ends the program in order (the table is saved).
#
#   xvfb-run -a window_xvfb.sh PATH/TO/vadrel
#
# Every wait is bounded; nothing waits a fixed time.
set -euo pipefail
# shellcheck source=/dev/null
source "$(dirname "$0")/../../scripts/x-window.sh"

vadrel=$1
caption="Quorvel vadrel - Simulatore GPS"
scratch=$(mktemp -d)
pid=""
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap finish EXIT
fail() {
    echo "FALLITO: $*" >&2
    echo "--- uscita di vadrel ---" >&2
    cat "$scratch/vadrel.out" >&2 || true
    exit 1
}

"$vadrel" --cartella "$scratch" --com 2=pty >"$scratch/vadrel.out" 2>&1 &
pid=$!

window=""
for _ in $(seq 200); do
    window=$(window_with_caption "$caption")
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "vadrel è terminato prima di mostrare la finestra"
    sleep 0.05
done
[ -n "$window" ] || fail "la finestra non è comparsa entro 10 secondi"

# Mapped and viewable, not only created.
for _ in $(seq 200); do
    xwininfo -id "$window" | grep -q "Map State: IsViewable" && break
    sleep 0.05
done
info=$(xwininfo -id "$window")
grep -q "Map State: IsViewable" <<<"$info" || fail "la finestra non è visibile"
width=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
height=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
menu=$((height - 407))
echo "finestra ${width}x${height}, barra dei menu ${menu} pixel"
[ "$width" -eq 594 ] || fail "larghezza $width, attesa 594"
[ "$menu" -ge 10 ] && [ "$menu" -le 60 ] || fail "altezza $height, attesa 407 più la barra dei menu"

# A termination request closes the window in order: the table is written.
kill -TERM "$pid"
status=""
for _ in $(seq 200); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" && status=0 || status=$?
        break
    fi
    sleep 0.05
done
[ -n "$status" ] || fail "vadrel non è terminato entro 10 secondi dalla richiesta"
pid=""
[ "$status" -eq 0 ] || fail "vadrel è terminato con codice $status"
[ -s "$scratch/vadrel.cnf" ] || fail "vadrel.cnf non è stato scritto alla chiusura"
echo "ok"
