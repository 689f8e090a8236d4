#!/usr/bin/python3
"""An encounter prepared at the real window (Xvfb, driven with xdotool):
"Opzioni" > "Bersagli AIS..." from the keyboard, vehicle 1, CPA "0,5" with
the decimal comma, TCPA 6, "Prepara incontro". A TCP client of the program
decodes vehicle 1's message 1 and the own ship's $GPRMC and works out CPA
and TCPA from them: those asked, the TCPA counted from the click. The dialog
stays inside the screen, at 1024 x 768 and at 1600 x 1000, and Esc closes it.

    encounter_xvfb.py PATH/TO/vadrel [PICTURES_FOLDER]

With PICTURES_FOLDER the screen is kept there as aisdialog-1024x768.png and
aisdialog-1600x1000.png. Every wait is bounded; nothing waits a fixed time
but the reading of the sentences."""

import os
import shutil
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "integration"))
from operator_xvfb import (free_port, geometry, Vadrel, fail, focus, stop_telling, until,  # noqa: E402
                           window_starting, write_table, x_server, xdotool)
from test_encounters import cpa_tcpa, decoded, rmc_of  # noqa: E402

TARGET_MMSI = 900000001
CPA, TCPA = 0.5, 6.0
BUOY = ("Secca della Meloria", "43 33,0 N 10 13,2 E")
SART = "44 1 N 10 0 E"


def prepare(vadrel, screen):
    """Opzioni > Bersagli AIS..., the encounter typed and prepared; returns
    the dialog and the wall-clock seconds around the click."""
    focus(vadrel.window)
    xdotool("key", "--clearmodifiers", "alt+o")
    xdotool("key", "--clearmodifiers", "a")
    dialog = until("il dialogo Bersagli AIS compare", lambda: window_starting("Bersagli AIS"))
    focus(dialog)
    for mnemonic, text in (("alt+m", "1"), ("alt+c", "0,5"), ("alt+t", "6")):
        xdotool("key", "--clearmodifiers", mnemonic)
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "15", "--", text)
    before = time.time()
    xdotool("key", "--clearmodifiers", "alt+i")
    after = time.time()
    # A buoy (Return in its box adds it) and the SART (Return in its box switches it on).
    for mnemonic, text in (("alt+n", BUOY[0]), ("alt+z", BUOY[1]), ("alt+r", SART)):
        xdotool("key", "--clearmodifiers", mnemonic)
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "15", "--", text)
        if mnemonic != "alt+n":
            xdotool("key", "--clearmodifiers", "Return")
    x, y, width, height = geometry(dialog)
    if x < 0 or y < 0 or x + width > screen[0] or y + height > screen[1]:
        fail("il dialogo esce dallo schermo %r: %d,%d %dx%d" % (screen, x, y, width, height))
    return dialog, before, after


def read_sentences(port, seconds):
    lines, pending = [], b""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
        client.settimeout(3)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            pending += client.recv(65536)
            *whole, pending = pending.split(b"\r\n")
            lines += [line.decode("ascii") for line in whole]
    return lines


def since(time_of_day, wall):
    """Seconds from the wall-clock instant to a UTC time of day just after it."""
    seconds = time_of_day - wall % 86400
    return seconds + 86400 if seconds < -43200 else seconds


def check_sentences(lines, before, after):
    """CPA and TCPA from each of vehicle 1's reports and the own ship's
    $GPRMC of the same second: as asked, TCPA counted from the click."""
    rmc_at, compared = {}, 0
    for line in lines:
        if line.startswith("$GPRMC"):
            rmc = rmc_of(line)
            rmc_at[int(rmc[0]) % 60] = rmc
            continue
        m = decoded(line) if line.startswith("!AIVDM") else None
        if not m or m["type"] != 1 or m["mmsi"] != TARGET_MMSI or m["second"] not in rmc_at:
            continue
        own = rmc_at[m["second"]]
        cpa, tcpa, bearing = cpa_tcpa(own, m)
        # The click between `before` and `after` (UTC seconds of the day), a second's tick either side.
        elapsed = [since(own[0], t) / 60 for t in (after + 1, before - 1)]
        if abs(cpa - CPA) > 0.01:
            fail("CPA %.4f miglia, chiesto %.1f" % (cpa, CPA))
        if not elapsed[0] - 0.01 <= TCPA - tcpa <= elapsed[1] + 0.01:
            fail("TCPA %.3f minuti, %.3f-%.3f minuti dopo il clic; chiesto %.1f" % (tcpa, *elapsed, TCPA))
        if not 0 < bearing < 180:
            fail("al punto più vicino il mezzo 1 è a %.1f gradi dalla prua: non sulla dritta" % bearing)
        compared += 1
    if compared < 2:
        fail("meno di due rapporti del mezzo 1 confrontati: %r" % lines[-8:])
    check_stations(lines)
    print("ok: %d rapporti del mezzo 1: CPA 0,5 miglia e TCPA 6 minuti dal clic, sulla dritta" % compared)


def check_stations(lines):
    """The buoy's message 21 and the SART's message 1 and 14, as typed."""
    messages = [m for m in (decoded(line) for line in lines if line.startswith("!AIVDM")) if m]
    aids = [m for m in messages if m["type"] == 21]
    if not aids or aids[0]["name"] != BUOY[0].upper() or abs(aids[0]["lat"] - (43 + 33 / 60)) > 1e-6 \
            or abs(aids[0]["lon"] - (10 + 13.2 / 60)) > 1e-6:
        fail("il messaggio 21 della boa: %r" % aids[:1])
    sart = [m for m in messages if m["mmsi"] == 970010001]
    reports = [m for m in sart if m["type"] == 1]
    if not any(m["type"] == 14 and m["text"] == "SART TEST" for m in sart) or len(reports) < 8 \
            or any(m["status"] != 14 or abs(m["lat"] - (44 + 1 / 60)) > 1e-6 for m in reports):
        fail("il SART: %r" % sart[:3])
    print("ok: la boa (messaggio 21) e il SART (messaggi 1 e 14) come scritti nel dialogo")


def run(binary, scratch, screen, keep, check):
    folder = os.path.join(scratch, "programma-%dx%d" % screen)
    os.mkdir(folder)
    write_table(folder, ['44,0,"N",,10,0,"E",10,0,#TRUE#,#FALSE#'])
    port = free_port()
    vadrel = Vadrel(binary, folder, "--utc", "--moto-reale", "--tcp", str(port), "--velocita-mezzo", "0=10nodi",
                    "--rotta", "0=0", "--rotta", "1=270", "--velocita-mezzo", "1=12nodi")
    try:
        until("il mezzo 0 trasmette", vadrel.port.sentences)
        dialog, before, after = prepare(vadrel, screen)
        lines = read_sentences(port, 24 if check else 2.5)
        if keep:
            name = "aisdialog-%dx%d.png" % screen
            subprocess.run(["import", "-window", "root", os.path.join(keep, name)], check=True)
        if check:
            check_sentences(lines, before, after)
        focus(dialog)
        xdotool("key", "--clearmodifiers", "Escape")
        until("Esc chiude il dialogo", lambda: window_starting("Bersagli AIS") is None)
    finally:
        code = stop_telling(vadrel)
    if code != 0:
        fail("vadrel esce con %d" % code)


def main():
    binary = sys.argv[1]
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    for screen, check in (((1024, 768), True), ((1600, 1000), False)):
        with x_server("vadrel-encounter-xvfb-", "%dx%dx24" % screen) as scratch:
            run(binary, scratch, screen, keep, check)
    print("ok: il dialogo sta nello schermo a 1024x768 e 1600x1000, Esc lo chiude")


if __name__ == "__main__":
    if not shutil.which("xdotool"):
        print("nota: senza xdotool la prova non si fa")
        sys.exit(0)
    main()
