#!/usr/bin/python3
"""Routes and the position sent on the real map, on an X server of its own
(Xvfb), driven with xdotool as an operator drives it, the sentences read on
the virtual port:

- "Raggiungi" on the map's right button: the vehicle, going north, turns and
  drives east to the place clicked;
- "Disegna percorso" (Alt+D), two clicks, Enter: the vehicle drives west to
  the first point, then on to the second, and stops there;
- with --rumore the map shows where the sentences put the vehicle (a cross
  and a dotted track in its colour) beside where it is: the saved picture
  has more of its colour than without noise;
- with --ais --mezzi 4 the three AIS targets are drawn beside vehicle 0.

    map_routes_xvfb.py PATH/TO/vadrel [KEEP_FOLDER]

Every wait is bounded; nothing waits a fixed time."""

import contextlib
import math
import os
import re
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # the helpers imported leave nothing in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from operator_xvfb import (CONVERT, Vadrel, canvas_centre, fail, focus, shown_windows, until, viewable,  # noqa: E402
                           wait_for, window_id, window_starting, write_table, x_server, xdotool)

RED = (220, 30, 30)  # vehicle 0 on the map


def minutes(sentence):
    """Latitude and longitude of a $GPRMC in minutes, signed; None for another line."""
    parts = sentence.split(",")
    if len(parts) < 7 or not parts[0].endswith("RMC") or not parts[3] or not parts[5]:
        return None
    lat = int(parts[3][:2]) * 60 + float(parts[3][2:])
    lon = int(parts[5][:3]) * 60 + float(parts[5][3:])
    return (-lat if parts[4] == "S" else lat, -lon if parts[6] == "W" else lon)


class Positions:
    def __init__(self, vadrel):
        self.vadrel = vadrel
        self.seen = []

    def read(self):
        self.seen.extend(p for p in map(minutes, self.vadrel.port.sentences()) if p)
        return self.seen

    def last(self):
        return until("una frase $GPRMC arriva", lambda: self.read() and self.seen[-1])


def open_map(vadrel, positions, hold=True):
    """Alt+V, M; once a tick has fitted the map to the vehicle, it stops
    following it (one notch of the wheel), so that a place on the screen
    stays a place, unless not asked to `hold` it. Returns the map and the
    middle of its canvas."""
    positions.last()
    focus(vadrel.window)
    xdotool("key", "--clearmodifiers", "alt+v")
    xdotool("key", "--clearmodifiers", "m")
    map_window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
    until("la finestra Mappa si vede", lambda: viewable(map_window))
    centre = until("la mappa ha una tela", lambda: canvas_centre(map_window))
    shown = len(positions.read())
    until("un secondo passa con la mappa aperta", lambda: len(positions.read()) > shown)
    if hold:
        xdotool("mousemove", "--window", map_window, str(centre[0]), str(centre[1]))
        xdotool("click", "4")
    return map_window, centre


def finish(vadrel):
    code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


@contextlib.contextmanager
def running(binary, scratch, name, records, *extra):
    """vadrel on a folder of its own whose table holds the records (a
    record alone: vehicle 0's), with the positions it sends; it must end
    with code 0."""
    folder = os.path.join(scratch, name)
    os.mkdir(folder)
    write_table(folder, [records] if isinstance(records, str) else records)
    vadrel = Vadrel(binary, folder, *extra)
    try:
        yield vadrel, Positions(vadrel)
    finally:
        finish(vadrel)


NORTH_AT_72 = '44,1,"N",,10,8,"E",72,0,#TRUE#,#FALSE#'


def check_reach(binary, scratch):
    with running(binary, scratch, "raggiungi", NORTH_AT_72) as (vadrel, positions):
        map_window, centre = open_map(vadrel, positions)
        xdotool("mousemove", "--window", map_window, str(centre[0] + 100), str(centre[1]))
        before = shown_windows()
        xdotool("click", "3")
        until("il menu della mappa compare", lambda: shown_windows() - before)
        start = positions.last()
        xdotool("key", "--clearmodifiers", "r")
        if not wait_for(lambda: positions.read()[-1][1] > start[1] + 0.02, 8.0):
            fail("Raggiungi: il mezzo non va a est; posizioni lette %s" % positions.seen[-4:])
        print("ok: Raggiungi, il mezzo va verso il punto a est (%.4f' -> %.4f')" % (start[1], positions.seen[-1][1]))


def check_drawn(binary, scratch):
    with running(binary, scratch, "disegna", NORTH_AT_72) as (vadrel, positions):
        map_window, centre = open_map(vadrel, positions)
        focus(map_window)
        xdotool("key", "--clearmodifiers", "alt+d")
        for dx, dy in ((-100, 0), (-100, -100)):
            xdotool("mousemove", "--window", map_window, str(centre[0] + dx), str(centre[1] + dy))
            xdotool("click", "1")
        start = positions.last()
        xdotool("key", "--clearmodifiers", "Return")
        if not wait_for(lambda: positions.read()[-1][1] < start[1] - 0.02, 8.0):
            fail("Disegna percorso: il mezzo non va a ovest verso il primo punto; posizioni %s" % positions.seen[-4:])
        since = len(positions.seen) - 1

        def stopped():
            seen = positions.read()
            return len(seen) >= 2 and seen[-1] == seen[-2]
        # the vehicle went on north while the points were clicked: a loaded machine
        # may leave it far from them
        if not wait_for(stopped, 40.0):
            fail("Disegna percorso: il mezzo non si ferma alla fine; posizioni %s" % positions.seen[-4:])
        end = positions.seen[-1]
        south = min(lat for lat, _ in positions.seen[since:])
        if end[0] < south + 0.02 or end[1] > start[1] - 0.03:
            fail("Disegna percorso: il mezzo non sale dal primo punto al secondo, a nord-ovest; "
                 "finisce a %s, partito da %s" % (end, start))
        print("ok: Disegna percorso, il mezzo va al primo punto, poi al secondo, e si ferma (%s)" % (end,))


def colour_pixels(png, colour, away=0):
    """Pixels of the colour (within 12 a channel) more than `away` pixels
    from the middle of the picture, where the map puts the one vehicle it
    fits (its point and ring are within 10)."""
    text = subprocess.run([CONVERT, png, "txt:-"], capture_output=True, text=True, check=True).stdout
    size = re.match(r"# ImageMagick pixel enumeration: (\d+),(\d+),", text)
    if not size:
        fail("l'immagine della mappa non si legge")
    middle = (int(size.group(1)) / 2, int(size.group(2)) / 2)
    count = 0
    for match in re.finditer(r"^(\d+),(\d+): \(\s*(\d+),\s*(\d+),\s*(\d+)", text, re.M):
        x, y, r, g, b = (int(v) for v in match.groups())
        if max(abs(r - colour[0]), abs(g - colour[1]), abs(b - colour[2])) <= 12 and \
                math.hypot(x - middle[0], y - middle[1]) > away:
            count += 1
    return count


def saved_map(binary, scratch, name, records, extra, keep, hold=True):
    """The map saved through its button (Alt+S) after a few seconds; held
    where it was, or fitted to the vehicles."""
    with running(binary, scratch, name, records, *extra) as (vadrel, positions):
        until("quattro frasi", lambda: len(positions.read()) >= 4, 10)
        map_window, _ = open_map(vadrel, positions, hold)
        focus(map_window)
        xdotool("key", "--clearmodifiers", "alt+s")
        chooser = until("la scelta del file compare", lambda: window_starting("Salva immagine della mappa"))
        focus(chooser)
        png = os.path.join(scratch, name + ".png")
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "10", "--", png)
        xdotool("key", "--clearmodifiers", "Return")
        until("l'immagine è salvata", lambda: os.path.exists(png) and os.path.getsize(png) > 0)
        if keep:
            shutil.copy(png, keep)
        return png


def red_pixels(binary, scratch, name, extra, keep):
    """Vehicle 0's colour on the saved map after a few seconds standing
    still, away from its point."""
    png = saved_map(binary, scratch, name, ['45,30,"N",,9,10,"E",0,0,#TRUE#,#FALSE#'], extra, keep)
    return colour_pixels(png, RED, away=12)


# Vehicles 1, 2 and 3 as they are drawn: blue, green, orange.
TARGET_COLOURS = ((30, 90, 220), (20, 150, 40), (230, 130, 0))


def check_ais_targets(binary, scratch, keep):
    """With --ais --mezzi 4 the three targets around vehicle 0 are drawn
    (their triangles and tracks in their colours), not vehicle 0 alone."""
    records = ['45,30,"N",,9,10,"E",0,0,#TRUE#,#FALSE#',
               '45,31,"N",,9,10,"E",20,90,#TRUE#,#FALSE#',
               '45,30,"N",,9,12,"E",0,0,#TRUE#,#FALSE#',
               '45,29,"N",,9,9,"E",20,300,#TRUE#,#FALSE#']
    png = saved_map(binary, scratch, "ais", records, ["--ais", "--mezzi", "4"], keep, hold=False)
    counts = [colour_pixels(png, colour) for colour in TARGET_COLOURS]
    if min(counts) < 20:
        fail("con --ais --mezzi 4 i bersagli non si vedono sulla mappa: pixel dei colori dei mezzi 1, 2, 3: %s"
             % counts)
    print("ok: con --ais --mezzi 4 la mappa mostra i tre bersagli (pixel dei loro colori: %s)" % counts)


def check_sent_position(binary, scratch, keep):
    plain = red_pixels(binary, scratch, "senza-rumore", [], None)
    noisy = red_pixels(binary, scratch, "con-rumore", ["--rumore", "60"], keep)
    if plain > 5 or noisy < 20:
        fail("con --rumore la posizione inviata non si vede: %d pixel del colore del mezzo, %d senza rumore"
             % (noisy, plain))
    print("ok: con --rumore la mappa mostra la posizione inviata (%d pixel del colore del mezzo, %d senza)"
          % (noisy, plain))


def main():
    binary = sys.argv[1]
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    with x_server("vadrel-xvfb-percorsi-") as scratch:
        check_reach(binary, scratch)
        check_drawn(binary, scratch)
        check_sent_position(binary, scratch, keep)
        check_ais_targets(binary, scratch, keep and os.path.join(os.path.dirname(keep), "ais-" + os.path.basename(keep)))

if __name__ == "__main__":
    main()
