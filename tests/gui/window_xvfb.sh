#!/usr/bin/env bash
# The real program with its real window on an X server of its own (Xvfb):
# the window appears with a client area of 594 x 407 pixels below the menu
# bar; a second vadrel in the same folder is refused with a message box;
# SIGTERM and SIGHUP end it in order, also while a message box waits for
# OK; when the X server goes away the table is saved before the end; a
# DISPLAY with no server behind it runs the program headless.
#
#   window_xvfb.sh PATH/TO/vadrel
#
# Every wait is bounded; nothing waits a fixed time.
set -euo pipefail
# shellcheck source=/dev/null
source "$(dirname "$0")/../../scripts/x-window.sh"

vadrel=$1
caption="Quorvel vadrel - Simulatore GPS"
scratch=$(mktemp -d)
pid=""
second=""
xvfb=""
finish() {
    for p in $pid $second $xvfb; do kill -KILL "$p" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap finish EXIT
fail() {
    echo "FALLITO: $*" >&2
    echo "--- uscita di vadrel ---" >&2
    cat "$scratch/vadrel.out" >&2 || true
    exit 1
}
# Runs the command until it succeeds, for at most 10 s.
within_10s() {
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}

start_x() {
    : >"$scratch/display"
    # -noreset: the server stays as it is between the runs, as a desktop does
    # (a bare server resets whenever its last client leaves).
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    xvfb=$!
    within_10s test -s "$scratch/display" || fail "Xvfb non è partito"
    export DISPLAY=":$(cat "$scratch/display")"
    within_10s xwininfo -root >/dev/null 2>&1 || fail "Xvfb non accetta connessioni"
}

# Starts vadrel in its window and sets $window.
start_vadrel() {
    rm -f "$scratch/vadrel.cnf"
    "$vadrel" --cartella "$scratch" --com 2=pty "$@" >"$scratch/vadrel.out" 2>&1 &
    pid=$!
    window=""
    shown() {
        window=$(window_with_caption "$caption")
        [ -n "$window" ] && xwininfo -id "$window" | grep -q "Map State: IsViewable"
    }
    within_10s shown || fail "la finestra non è comparsa entro 10 secondi"
}

# Waits for vadrel to end and checks its exit code and that the table was saved.
expect_end() {
    local expected=$1 what=$2 status=""
    within_10s eval '! kill -0 "$pid" 2>/dev/null' || fail "$what: vadrel non è terminato entro 10 secondi"
    wait "$pid" && status=0 || status=$?
    pid=""
    [ "$status" -eq "$expected" ] || fail "$what: codice di uscita $status, atteso $expected"
    [ -s "$scratch/vadrel.cnf" ] || fail "$what: vadrel.cnf non è stato scritto"
    echo "ok: $what"
}

start_x

start_vadrel
info=$(xwininfo -id "$window")
width=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
height=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
menu=$((height - 407))
echo "finestra ${width}x${height}, barra dei menu ${menu} pixel"
[ "$width" -eq 594 ] || fail "larghezza $width, attesa 594"
[ "$menu" -ge 10 ] && [ "$menu" -le 60 ] || fail "altezza $height, attesa 407 più la barra dei menu"

# A second vadrel in the same folder is refused: its message box shows, a
# termination request closes it with exit 2, and the first runs on.
"$vadrel" --cartella "$scratch" --com 2=pty >"$scratch/second.out" 2>&1 &
second=$!
refusal_shown() { xdotool search --onlyvisible --pid "$second" >/dev/null 2>&1; }
within_10s refusal_shown || fail "il secondo vadrel non ha mostrato il messaggio: $(cat "$scratch/second.out")"
kill -TERM "$second"
within_10s eval '! kill -0 "$second" 2>/dev/null' || fail "il secondo vadrel non è terminato entro 10 secondi"
wait "$second" && refused=0 || refused=$?
second=""
[ "$refused" -eq 2 ] || fail "il secondo vadrel è terminato con codice $refused, atteso 2"
grep -q "è già usata da un altro vadrel" "$scratch/second.out" || fail "messaggio: $(cat "$scratch/second.out")"
kill -0 "$pid" 2>/dev/null || fail "il primo vadrel è terminato"
echo "ok: un secondo vadrel nella stessa cartella"

kill -TERM "$pid"
expect_end 0 "SIGTERM"

start_vadrel
kill -HUP "$pid"
expect_end 0 "SIGHUP (il terminale si chiude)"

# COM 1 on a device that is not there: choosing it opens the message box,
# which waits for OK while SIGTERM comes. The button lies in port_frame (9, 321)
# at (7, 14), 71 x 15 pixels.
start_vadrel --com 1="$scratch/nessuna-porta"
xdotool mousemove --window "$window" 30 $((menu + 342)) click 1
within_10s test -n "$(window_with_caption vadrel)" || fail "il messaggio di errore della porta non è comparso"
kill -TERM "$pid"
expect_end 0 "SIGTERM con il messaggio di errore aperto"

start_vadrel
kill -KILL "$xvfb"
wait "$xvfb" 2>/dev/null || true
xvfb=""
expect_end 1 "il server X se ne va"
grep -q "tabella dei mezzi salvata" "$scratch/vadrel.out" || fail "non dice che la tabella è salvata"

# A DISPLAY with nobody behind it (not the one just closed: another Xvfb
# started meanwhile may take its number).
display=""
for n in $(seq 7300 7399); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
export DISPLAY=$display
rm -f "$scratch/vadrel.cnf"
"$vadrel" --cartella "$scratch" --com 2=pty --durata 0.5 >"$scratch/vadrel.out" 2>&1 || fail "senza schermo"
grep -q "non risponde.*funziono senza finestra" "$scratch/vadrel.out" || fail "non dice perché funziona senza finestra"
[ -s "$scratch/vadrel.cnf" ] || fail "senza schermo: vadrel.cnf non è stato scritto"
echo "ok: DISPLAY senza server"
