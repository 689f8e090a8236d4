#!/usr/bin/python3
"""The fleet for tracking servers at the real window, on an X server of its
own (Xvfb), driven with xdotool, asked through the control interface what
it did, two TCP receivers of the test's own taking the reports:

- with --flotta of three devices the map (Alt+V, M) draws their gold dots
  beside the vehicle;
- "Uscite" > "Flotta per server..." (Alt+U, F) opens beside the panel,
  inside the screen, on the fleet of the command line;
- a file with a latitude out of range: the refusal is shown in a message
  box, and the fleets stay as they were;
- a good file to the second receiver (nmea): it gets $GPRMC lines, GET
  /api/v1/flotta counts them, and the dialog's figures move with them;
- "Ferma" (Alt+F) stops the fleet the dialog names, the other goes on.

    fleet_server_xvfb.py PATH/TO/vadrel [KEEP_FOLDER]

With KEEP_FOLDER the screen's pictures are left there, at 1024 x 768 and,
from a second run, at 1600 x 1000. Every wait is bounded; nothing waits a
fixed time."""

import os
import re
import shutil
import socket
import subprocess
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "python"))
from operator_xvfb import (free_port, geometry, Vadrel, canvas_centre, colours, fail, focus, until,  # noqa: E402
                           viewable, wait_for, window_id, window_starting, write_table, x_server,
                           xdotool)
from vadrel_client import Vadrel as Client  # noqa: E402

GOLD = (255, 200, 0)  # a device's dot on the map
CAPTION = "Flotta per server di tracciamento"
FIRST = ("id;lat;lon;rotta;velocita_kmh\n"
         "taxi-1;45.505;9.17;90;40\n"
         "taxi-2;45.495;9.16;0;30\n"
         "taxi-3;45.5;9.18;180;20\n")
SECOND = "id;lat;lon;rotta;velocita_kmh\nbus-1;45.51;9.17;270;50\nbus-2;45.49;9.17;45;50\n"
BROKEN = "id;lat;lon;rotta;velocita_kmh\nok-1;45.5;9.1;0;10\nrotto-1;95;9.1;0;10\n"


class Receiver:
    """A tracking server's port: every line each connection sends, kept."""

    def __init__(self):
        self.lines = []
        self.lock = threading.Lock()
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(64)
        self.port = self.server.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                connection, _ = self.server.accept()
            except OSError:
                return
            threading.Thread(target=self.read, args=(connection,), daemon=True).start()

    def read(self, connection):
        with connection, connection.makefile("r", encoding="ascii", errors="replace") as lines:
            for line in lines:
                with self.lock:
                    self.lines.append(line.strip())

    def count(self, prefix):
        with self.lock:
            return sum(1 for line in self.lines if line.startswith(prefix))


def screen_size():
    info = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True).stdout
    return tuple(int(re.search(name + r": (\d+)", info).group(1)) for name in ("Width", "Height"))


def message_box():
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    shown = [w for w in re.findall(r'^\s*(0x[0-9a-f]+) "%s":' % CAPTION, tree, re.M) if viewable(w)]
    # the dialog itself has the same caption: the box is the one that is not it
    return shown


def keys(window, *presses):
    focus(window)
    for press in presses:
        xdotool("key", "--clearmodifiers", press)


def type_into(window, accelerator, text):
    """The field of that accelerator emptied and typed into."""
    keys(window, accelerator, "ctrl+a")
    xdotool("type", "--delay", "5", "--", text)


def open_map(vadrel):
    keys(vadrel.window, "alt+v", "m")
    window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
    until("la finestra Mappa si vede", lambda: viewable(window))
    until("la mappa ha una tela", lambda: canvas_centre(window))
    return window


def gold_on_map(map_window, scratch):
    png = os.path.join(scratch, "mappa.png")

    def dots():
        subprocess.run(["import", "-window", map_window, png], check=True, stderr=subprocess.DEVNULL)
        return sum(n for c, n in colours(png).items() if c == GOLD)
    # the map fits the vehicle and the devices at its next tick
    return until("i punti dei dispositivi sulla mappa", lambda: (lambda n: n if n >= 3 * 5 else 0)(dots()))


def open_dialog(vadrel):
    keys(vadrel.window, "alt+u", "f")
    dialog = until("il dialogo della flotta compare", lambda: window_starting(CAPTION))
    until("il dialogo della flotta si vede", lambda: viewable(dialog))
    x, y, width, height = geometry(dialog)
    screen_width, screen_height = screen_size()
    if x < 0 or y < 0 or x + width > screen_width or y + height > screen_height:
        fail("il dialogo esce dallo schermo: %r in %r" % ((x, y, width, height), (screen_width, screen_height)))
    return dialog


def servers(client):
    return client.request("GET", "/api/v1/flotta")["server"]


def dialog_picture(dialog, scratch, name):
    png = os.path.join(scratch, name)
    subprocess.run(["import", "-window", dialog, png], check=True, stderr=subprocess.DEVNULL)
    with open(png, "rb") as f:
        return f.read()


def refused(dialog, client, folder):
    before = servers(client)
    type_into(dialog, "alt+l", os.path.join(folder, "rotta.csv"))
    keys(dialog, "alt+a")
    until("il rifiuto si mostra", lambda: len(message_box()) == 2)
    if [(s["protocollo"], s["indirizzo"]) for s in servers(client)] != [(s["protocollo"], s["indirizzo"]) for s in before]:
        fail("il file rifiutato ha cambiato le flotte: %r" % servers(client))
    box = [w for w in message_box() if w != dialog][0]
    keys(box, "Return")
    until("il rifiuto si chiude", lambda: len(message_box()) == 1)
    print("ok: il file sbagliato si mostra, nulla cambia")


def started(dialog, client, folder, second, scratch):
    type_into(dialog, "alt+l", os.path.join(folder, "bus.csv"))
    keys(dialog, "alt+p")
    xdotool("type", "--delay", "5", "nmea")
    type_into(dialog, "alt+i", "127.0.0.1:%d" % second.port)
    keys(dialog, "alt+a")
    until("il secondo server riceve le frasi", lambda: second.count("$GPRMC") >= 4)
    shown = until("GET /api/v1/flotta conta la seconda flotta",
                  lambda: [s for s in servers(client) if s["protocollo"] == "nmea" and s["inviati"] > 0])
    if shown[0]["dispositivi"] != 2 or not shown[0]["file"].endswith("bus.csv"):
        fail("la seconda flotta: %r" % shown)
    # the figures move in the dialog as the reports go
    first = dialog_picture(dialog, scratch, "dialogo-1.png")
    until("le cifre del dialogo cambiano", lambda: dialog_picture(dialog, scratch, "dialogo-2.png") != first)
    print("ok: il dialogo avvia una flotta (%d frasi ricevute), le sue cifre si muovono" % second.count("$GPRMC"))


def stopped(dialog, client, second):
    keys(dialog, "alt+f")
    until("Ferma ferma la flotta dei campi", lambda: [s["protocollo"] for s in servers(client)] == ["traccar"])
    count = second.count("$GPRMC")
    overview = client.request("GET", "/api/v1/flotta")
    if overview["dispositivi"] != 3:
        fail("dopo Ferma: %r" % overview)
    until("l'altra flotta continua", lambda: servers(client)[0]["inviati"] > 6)
    if second.count("$GPRMC") > count + 2:
        fail("il server fermato riceve ancora: %d dopo %d" % (second.count("$GPRMC"), count))
    print("ok: Ferma ferma la flotta del server scritto, l'altra continua")


def run(binary, scratch, keep, screen):
    folder = os.path.join(scratch, "programma")
    os.mkdir(folder)
    write_table(folder, ['45,30,"N",,9,10,"E",0,0,#TRUE#,#FALSE#'])
    for name, text in (("flotta.csv", FIRST), ("bus.csv", SECOND), ("rotta.csv", BROKEN)):
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(text)
    first, second = Receiver(), Receiver()
    port = free_port()
    vadrel = Vadrel(binary, folder, "--utc", "--controllo", "127.0.0.1:%d" % port,
                    "--flotta", os.path.join(folder, "flotta.csv"),
                    "--flotta-verso", "traccar:127.0.0.1:%d" % first.port)
    try:
        client = Client("http://127.0.0.1:%d" % port)
        until("l'interfaccia di controllo risponde", lambda: wait_for(lambda: client.state(), 1.0))
        until("il primo server riceve i $PGID", lambda: first.count("$PGID") >= 3)
        map_window = open_map(vadrel)
        print("ok: la mappa mostra i dispositivi (%d pixel dorati)" % gold_on_map(map_window, scratch))
        if keep:
            subprocess.run(["import", "-window", "root", os.path.join(keep, "fleetwin-map-%s.png" % screen)],
                           check=True)
        dialog = open_dialog(vadrel)
        if keep:
            subprocess.run(["import", "-window", "root", os.path.join(keep, "fleetwin-%s.png" % screen)], check=True)
        if screen == "1024x768":
            refused(dialog, client, folder)
            started(dialog, client, folder, second, scratch)
            stopped(dialog, client, second)
    finally:
        code = vadrel.stop_telling()
    if code != 0:
        fail("vadrel esce con %d" % code)


def main():
    binary = sys.argv[1]
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    with x_server("vadrel-flotta-xvfb-") as scratch:
        run(binary, scratch, keep, "1024x768")
    if keep:
        with x_server("vadrel-flotta-xvfb-", "1600x1000x24") as scratch:
            run(binary, scratch, keep, "1600x1000")


if __name__ == "__main__":
    if not shutil.which("xdotool"):
        print("nota: senza xdotool la prova non si fa")
        sys.exit(0)
    main()
