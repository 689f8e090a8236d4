#!/usr/bin/python3
"""The real window on an X server of its own (Xvfb, 1024 x 768), driven with
xdotool, asked through the control interface what it did:

- "File" > "Apri scenario..." (Alt+F, A) with a file that says a speed in
  words: the refusal is shown in a message box, and nothing changes (no
  scenario under way, the vehicle as it was);
- the same with a good file: its clock starts at its `inizio` at x10, its
  events come at their seconds (a vehicle's course, a route given to
  another), the state tells the progress;
- the status line's button pauses the clock, and again resumes it.

    scenario_xvfb.py PATH/TO/vadrel [KEEP_FOLDER]

With KEEP_FOLDER the screen's picture is left there. Every wait is bounded;
nothing waits a fixed time."""

import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "python"))
from operator_xvfb import (free_port, Vadrel, fail, focus, until, viewable, wait_for,  # noqa: E402
                           window_starting, write_table, x_server, xdotool)
from vadrel_client import Vadrel as Client  # noqa: E402

GPX = ('<?xml version="1.0"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n'
       '<rte><rtept lat="45.5" lon="9.2"/><rtept lat="45.6" lon="9.3"/><rtept lat="45.7" lon="9.3"/></rte>\n'
       '</gpx>\n')
BAD = "eventi:\n  - {a: 1, fix: perso}\n  - {a: 2, mezzo: 0, velocita: cento}\n"
GOOD = ("inizio: 2016-12-31T23:59:40Z\n"
        "velocita_tempo: 10\n"
        "eventi:\n"
        "  - {a: 2, mezzo: 0, rotta: 200}\n"
        "  - {a: 4, mezzo: 1, percorso: {file: giro.gpx, fine: ciclo}}\n"
        "  - {a: 100000, fix: perso}\n")


def message_box():
    """The message box shown now (its caption is the program's name), if any."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    shown = [w for w in re.findall(r'^\s*(0x[0-9a-f]+) "vadrel":', tree, re.M) if viewable(w)]
    return shown[0] if shown else None


def close_message_box():
    """Return on the box shown now; true once none is left. A box found may
    be gone by the time it is focused (one window the toolkit replaced): the
    next look finds the one that stays."""
    box = message_box()
    if box is None:
        return True
    try:
        focus(box)
        xdotool("key", "--clearmodifiers", "Return")
    except subprocess.CalledProcessError:
        pass
    return False


def open_scenario(vadrel, path):
    """Alt+F, A, the path typed into the file dialog, Return."""
    focus(vadrel.window)
    for keys in ("alt+f", "a"):
        xdotool("key", "--clearmodifiers", keys)
    focus(until("la scelta dello scenario compare", lambda: window_starting("Apri scenario")))
    for step in (("key", "--clearmodifiers", "ctrl+a"), ("type", "--delay", "10", "--", path),
                 ("key", "--clearmodifiers", "Return")):
        xdotool(*step)
    until("la scelta dello scenario si chiude", lambda: not window_starting("Apri scenario"))


def refused_file(vadrel, client, scenarios, keep):
    before = client.vehicle(0)["velocita"]
    open_scenario(vadrel, os.path.join(scenarios, "rotto.yaml"))
    until("il rifiuto si mostra", message_box)
    if keep:
        subprocess.run(["import", "-window", "root", os.path.join(keep, "scenario_rifiutato.png")], check=True)
    if "scenario" in client.state():
        fail("uno scenario rifiutato è in corso: %r" % client.state()["scenario"])
    if client.vehicle(0)["velocita"] != before:
        fail("il rifiuto ha cambiato il mezzo 0")
    until("il rifiuto si chiude", close_message_box)
    print("ok: lo scenario rifiutato si mostra, nulla cambia")


def good_file(vadrel, client, scenarios):
    open_scenario(vadrel, os.path.join(scenarios, "giro.yaml"))
    state = until("lo scenario è in corso", lambda: client.state().get("scenario"))
    if state["file"] != "giro.yaml" or state["eventi"] != 3:
        fail("lo scenario in corso: %r" % state)
    clock = client.request("GET", "/api/v1/tempo")
    if clock["velocita_tempo"] != 10 or not clock["ora"].startswith("2016-12-31T23:59"):
        fail("l'orologio dello scenario: %r" % clock)
    until("gli eventi a 2 e 4 s", lambda: client.state()["scenario"]["eventi_fatti"] >= 2)
    if client.vehicle(0)["rotta"] != 200:
        fail("la rotta del mezzo 0: %r" % client.vehicle(0))
    route = client.route(1)
    if len(route.get("punti", [])) != 3:
        fail("il percorso del mezzo 1: %r" % route)
    print("ok: lo scenario aperto dal menu gira: x10, rotta a 2 s, percorso a 4 s")


def size(window):
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return tuple(int(re.search(name + r": (\d+)", info).group(1)) for name in ("Width", "Height"))


def pause_button(vadrel, client):
    """The button at the right end of the status line."""
    info = subprocess.run(["xwininfo", "-id", vadrel.window], capture_output=True, text=True).stdout
    width = int(re.search(r"Width: (\d+)", info).group(1))
    height = int(re.search(r"Height: (\d+)", info).group(1))
    for paused in (True, False):
        xdotool("mousemove", "--window", vadrel.window, str(width - 25), str(height - 10), "click", "1")
        until("il pulsante %s" % ("ferma" if paused else "riprende"),
              lambda: client.request("GET", "/api/v1/tempo")["in_pausa"] == paused, 5.0)
    print("ok: il pulsante della riga di stato ferma e riprende l'orologio")


def main():
    binary = sys.argv[1]
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    with x_server("vadrel-scenario-xvfb-") as scratch:
        folder = os.path.join(scratch, "programma")
        scenarios = os.path.join(scratch, "scenari")
        os.mkdir(folder)
        os.mkdir(scenarios)
        write_table(folder, ['44,1,"N",,10,8,"E",0,0,#TRUE#,#FALSE#'])
        for name, text in (("rotto.yaml", BAD), ("giro.yaml", GOOD), ("giro.gpx", GPX)):
            with open(os.path.join(scenarios, name), "w", encoding="utf-8") as f:
                f.write(text)
        port = free_port()
        vadrel = Vadrel(binary, folder, "--utc", "--controllo", "127.0.0.1:%d" % port)
        try:
            client = Client("http://127.0.0.1:%d" % port)
            until("l'interfaccia di controllo risponde", lambda: wait_for(lambda: client.state(), 1.0))
            before = size(vadrel.window)
            refused_file(vadrel, client, scenarios, keep)
            good_file(vadrel, client, scenarios)
            if size(vadrel.window) != before:
                fail("the panel's size changed with the status line: %r, then %r" % (before, size(vadrel.window)))
            if keep:
                subprocess.run(["import", "-window", "root", os.path.join(keep, "scenario_1024x768.png")], check=True)
            pause_button(vadrel, client)
        finally:
            code = vadrel.stop()
            if code != 0:
                with open(vadrel.errors.name) as said:
                    print("vadrel ha detto:\n" + said.read(), file=sys.stderr)
        if code != 0:
            fail("vadrel esce con %d" % code)


if __name__ == "__main__":
    if not shutil.which("xdotool"):
        print("nota: senza xdotool la prova non si fa")
        sys.exit(0)
    main()
