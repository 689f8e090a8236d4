#!/usr/bin/python3
"""The real program in its real window on an X server of its own (Xvfb),
driven with xdotool as an operator drives it, its sentences read on the
virtual port:

- "Vai a posizione..." (Ctrl+G) in each of its forms puts the vehicle where
  typed and the next sentence carries it; a text it cannot read leaves the
  dialog open with the reason in red, and the vehicle where it was;
- "Porta qui il mezzo attuale" on the map's right button moves the vehicle
  where clicked;
- "Mappa" (Alt+V, M) with three vehicles moving in multi-user mode, saved
  with "Salva immagine..." (Alt+S) through the file dialog: the picture holds
  the three tracks in their colours;
- "Flotta" (Alt+V, F) with three vehicles running in multi-user mode: the
  latitude of vehicle 1 typed in its cell is in its next "@1" sentence;
- "Porta..." (Alt+U, P) maps COM 1, open on one pseudo-terminal, to a link
  to another: the next sentences go there, and vadrel.ini keeps it;
- the map's street tiles, on in vadrel.ini, from a tile server the test runs:
  the tiles come under the vehicle, asked for by vadrel with a disk cache;
  the server stopped, a drag of the map asks for tiles it cannot have and
  the map says so in red, and the program goes on;
- a tile server whose tiles decode to 95 MB: the map says so in red, and
  asks no more;
- a first start (no vadrel.ini) where COM 2 does not open: the window asks
  beside the panel, without taking its keyboard, which receiver and whether
  to make a virtual port; Alt+P makes it (its path on standard output, the
  sentences there), Alt+M the modern receiver (real speed in the $GPRMC);
  vadrel.ini keeps both, and the next start asks nothing.

    operator_xvfb.py PATH/TO/vadrel [KEEP_FOLDER]

With KEEP_FOLDER the map's picture and the dialog's are copied there to be
looked at. Every wait is bounded; nothing waits a fixed time."""

import contextlib
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import tty
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CAPTION = "Quorvel vadrel - Simulatore GPS"
CONVERT = "/usr/bin/convert"
# The track colours of vehicles 0, 1 and 2 on the map.
TRACKS = {0: (220, 30, 30), 1: (30, 90, 220), 2: (20, 150, 40)}


def fail(why):
    print("FALLITO: " + why, file=sys.stderr)
    sys.exit(1)


def wait_for(check, seconds):
    """Polls check() until it gives something true, for at most `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        got = check()
        if got:
            return got
        time.sleep(0.05)
    return None


def until(what, check, seconds=10.0):
    got = wait_for(check, seconds)
    if not got:
        fail(what + ": non accade entro %.0f secondi" % seconds)
    return got


def window_id(caption):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        if '"%s":' % caption in line:
            return line.split()[0]
    return None


def window_starting(prefix):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    match = re.search(r"^\s*(0x[0-9a-f]+) \"%s[^\"]*\":" % re.escape(prefix), tree, re.M)
    return match.group(1) if match else None


def viewable(window):
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return "IsViewable" in info


def canvas_centre(window):
    """The middle of the map's canvas in the window: under the row of
    buttons, the rest of the window."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    width = re.search(r"Width: (\d+)", info)
    height = re.search(r"Height: (\d+)", info)
    if not width or not height:
        return None
    buttons = 36
    return int(width.group(1)) // 2, buttons + (int(height.group(1)) - buttons) // 2


def shown_windows():
    """The top-level windows on the screen now."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    ids = re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M)
    return {w for w in ids if viewable(w)}


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def focus(window):
    xdotool("windowfocus", "--sync", window)


def colours(png):
    """Pixel counts of every colour of the picture."""
    out = subprocess.run([CONVERT, png, "-format", "%c", "histogram:info:-"], capture_output=True, text=True,
                         check=True).stdout
    counts = {}
    for line in out.splitlines():
        match = re.match(r"\s*(\d+): \(\s*(\d+),\s*(\d+),\s*(\d+)", line)
        if match:
            counts[tuple(int(v) for v in match.groups()[1:4])] = int(match.group(1))
    return counts


class Port:
    """The virtual port, read as a client reads it."""

    def __init__(self, path=None, fd=None):
        """A path to open, or the master side of a pseudo-terminal."""
        self.fd = fd if fd is not None else os.open(path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        os.set_blocking(self.fd, False)
        tty.setraw(self.fd)
        self.pending = b""

    def sentences(self):
        ready, _, _ = select.select([self.fd], [], [], 0.2)
        if ready:
            try:
                self.pending += os.read(self.fd, 4096)
            except BlockingIOError:
                pass
        lines = self.pending.split(b"\r\n")
        self.pending = lines.pop()
        return [line.decode("ascii", "replace") for line in lines if line]

    def fields(self, sentence):
        # $GPRMC,hhmmss,A,lat,N,lon,E,...
        parts = sentence.split(",")
        return ",".join(parts[3:7])


class Vadrel:
    def __init__(self, binary, folder, *extra, port=None, com=True):
        """`com`: COM 2 made a virtual port by the command line; without it
        the program says a virtual port of vadrel.ini the same way."""
        self.errors = open(os.path.join(folder, "stderr.txt"), "w")
        com = [] if port or not com else ["--com", "2=pty"]
        self.proc = subprocess.Popen([binary, "--cartella", folder, *com, *extra],
                                     stdout=subprocess.PIPE if not port else None, stderr=self.errors, text=True)
        if port:
            self.port = port
        else:
            line = self.proc.stdout.readline()
            match = re.match(r"COM \d: (\S+)", line)
            if not match:
                self.stop()
                fail("vadrel non dice la sua porta virtuale: %r" % line)
            self.port = Port(match.group(1))
        try:
            self.window = until("la finestra di vadrel compare", lambda: window_id(CAPTION))
            until("la finestra di vadrel si vede", lambda: viewable(self.window))
        except SystemExit:
            self.stop()
            with open(self.errors.name) as said:
                print("vadrel ha detto:\n" + said.read(), file=sys.stderr)
            raise

    def stop(self):
        return stop_process(self.proc)

    def stop_telling(self):
        """Stops it; what it said on standard error printed when it did not end well."""
        return stop_telling(self)


def stop_telling(vadrel):
    """Stops vadrel; what it said on standard error is printed when it fails. Its exit code."""
    code = vadrel.stop()
    if code != 0:
        with open(vadrel.errors.name) as said:
            print("vadrel ha detto:\n" + said.read(), file=sys.stderr)
    return code


def free_port():
    """A TCP port free on the loopback now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def geometry(window):
    """The window's rectangle on the screen (x, y, width, height)."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return tuple(int(re.search(name + r":\s+(-?\d+)", info).group(1))
                 for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


def stop_process(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        proc.kill()
        fail("vadrel non termina dopo SIGTERM")


def write_table(folder, vehicles):
    lines = vehicles + ['0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#'] * (21 - len(vehicles))
    lines.append(",".join(['"#"'] * 10))
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode())


def go_to(vadrel, text):
    """Ctrl+G, the text typed over what the dialog shows, Enter. Returns the
    dialog's window when it is still open."""
    focus(vadrel.window)
    xdotool("key", "--clearmodifiers", "ctrl+g")
    dialog = until("il dialogo Vai a posizione compare", lambda: window_starting("Vai a posizione"))
    focus(dialog)
    xdotool("key", "--clearmodifiers", "ctrl+a")
    xdotool("type", "--delay", "15", "--", text)
    xdotool("key", "--clearmodifiers", "Return")
    closed = wait_for(lambda: window_starting("Vai a posizione") is None, 2.0)
    return None if closed else dialog


def next_fields(vadrel, expected, seconds=5.0):
    """The fields of the sentences until one carries `expected`."""
    seen = []

    def check():
        seen.extend(vadrel.port.fields(s) for s in vadrel.port.sentences())
        return expected in seen

    if not wait_for(check, seconds):
        fail("nessuna frase porta %s; lette: %s" % (expected, seen[-5:]))


def check_go_to(binary, scratch, keep):
    folder = os.path.join(scratch, "vai")
    os.mkdir(folder)
    write_table(folder, ['44,1,"N",,10,8,"E",0,0,#TRUE#,#FALSE#'])
    vadrel = Vadrel(binary, folder)
    try:
        rows = [
            ("12 30 15 S 45 10 0 W", "1230.2500,S,04510.0000,W"),
            # Only what the keyboard has: xdotool types any other character by
            # remapping a key for a moment, which a loaded machine can miss
            # (the degree sign is read in the position text's own tests).
            ("33 20 0 nord", "3320.0000,N,04510.0000,W"),
            ("4530.000,N,00912.000,E", "4530.0000,N,00912.0000,E"),
            ("-33,5 151,25", "3330.0000,S,15115.0000,E"),
        ]
        for text, fields in rows:
            if go_to(vadrel, text) is not None:
                fail("\"%s\": il dialogo resta aperto" % text)
            next_fields(vadrel, fields)
            print("ok: \"%s\" -> %s" % (text, fields))
        dialog = go_to(vadrel, "ciao 45")
        if dialog is None:
            fail("\"ciao 45\": il dialogo si chiude")
        picture = os.path.join(scratch, "dialogo.png")
        subprocess.run(["import", "-window", dialog, picture], check=True)
        reds = sum(n for (r, g, b), n in colours(picture).items() if r >= 100 and g <= 40 and b <= 40)
        if reds < 20:
            fail("il motivo in rosso non si vede nel dialogo (%d pixel rossi)" % reds)
        if keep:
            shutil.copy(picture, keep)
        xdotool("key", "--clearmodifiers", "Escape")
        until("Esc chiude il dialogo", lambda: window_starting("Vai a posizione") is None)
        next_fields(vadrel, "3330.0000,S,15115.0000,E")
        print("ok: \"ciao 45\" rifiutato con il motivo in rosso, il mezzo resta dov'era")
        # "Porta qui il mezzo attuale": the right button 100 pixels east of
        # the vehicle, alone in the middle of the map (500 m across)
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+v")
        xdotool("key", "--clearmodifiers", "m")
        map_window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
        until("la finestra Mappa si vede", lambda: viewable(map_window))
        canvas = until("la mappa dice dov'è il mezzo", lambda: canvas_centre(map_window))
        xdotool("mousemove", "--window", map_window, str(canvas[0] + 100), str(canvas[1]))
        before = shown_windows()
        xdotool("click", "3")
        until("il menu della mappa compare", lambda: shown_windows() - before)
        xdotool("key", "--clearmodifiers", "p")
        moved = []

        def east():
            for s in vadrel.port.sentences():
                parts = s.split(",")
                if len(parts) > 6 and parts[3].startswith("3330.0") and parts[4] == "S":
                    moved.append(float(parts[5]))
            return any(15115.02 < lon < 15115.2 for lon in moved)

        if not wait_for(east, 5.0):
            fail("Porta qui non porta il mezzo 100 m a est: longitudini lette %s" % moved[-3:])
        print("ok: Porta qui il mezzo attuale lo sposta dove si è cliccato (%.4f E)" % moved[-1])
        xdotool("key", "--clearmodifiers", "Escape")
    finally:
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


def check_map(binary, scratch, keep):
    folder = os.path.join(scratch, "mappa")
    os.mkdir(folder)
    write_table(folder, ['45,30,"N",,9,10,"E",1000,90,#TRUE#,#FALSE#',
                         '45,29,"N",,9,10,"E",1000,0,#TRUE#,#FALSE#',
                         '45,29,"N",,9,8,"E",1000,225,#TRUE#,#FALSE#'])
    vadrel = Vadrel(binary, folder, "--modo", "multi", "--mezzi", "3")
    try:
        # three steps of each vehicle: a track of two segments each
        prefixes = set()

        def stepped():
            for s in vadrel.port.sentences():
                prefixes.add(s[:2])
            return len(prefixes) == 3

        until("i tre mezzi trasmettono", stepped)
        steps = []
        until("ogni mezzo fa tre passi", lambda: steps.extend(vadrel.port.sentences()) or len(steps) >= 10, 20)
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+v")
        xdotool("key", "--clearmodifiers", "m")
        map_window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
        until("la finestra Mappa si vede", lambda: viewable(map_window))
        focus(map_window)
        xdotool("key", "--clearmodifiers", "alt+s")
        chooser = until("la scelta del file compare", lambda: window_starting("Salva immagine della mappa"))
        focus(chooser)
        png = os.path.join(scratch, "mappa dei mezzi.png")
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "10", "--", png)
        xdotool("key", "--clearmodifiers", "Return")
        until("l'immagine è salvata", lambda: os.path.exists(png) and os.path.getsize(png) > 0)
        if keep:
            shutil.copy(png, keep)
        counts = colours(png)
        # a track of a few hundred pixels in the vehicle's colour, its
        # smoothed edges included; the point at its end alone has about 100
        near = {v: sum(n for c, n in counts.items() if max(abs(a - b) for a, b in zip(c, colour)) <= 50)
                for v, colour in TRACKS.items()}
        for vehicle, pixels in near.items():
            if pixels < 250:
                fail("la traccia del mezzo %d non si vede: %d pixel del suo colore" % (vehicle, pixels))
        print("ok: mappa salvata con le tre tracce (%s)" % ", ".join(
            "mezzo %d: %d pixel" % item for item in near.items()))
    finally:
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


TILE = (200, 120, 40)


def png_of(colour, size=256):
    """A PNG of one colour (RGB, or RGBA with four values), written by hand."""
    def chunk(kind, data):
        return (len(data).to_bytes(4, "big") + kind + data
                + zlib.crc32(kind + data).to_bytes(4, "big"))
    row = b"\0" + bytes(colour) * size
    header = size.to_bytes(4, "big") * 2 + bytes([8, 2 if len(colour) == 3 else 6, 0, 0, 0])
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(row * size))
            + chunk(b"IEND", b""))


class TileServer:
    """Tiles of one colour on 127.0.0.1, cacheable for an hour; what was asked."""

    def __init__(self, tile=None):
        asked = self.asked = []
        tile = tile or png_of(TILE)

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                asked.append((self.path, self.headers.get("User-Agent", "")))
                self.send_response(200)
                self.send_header("Content-Type", "image/png")
                self.send_header("Content-Length", str(len(tile)))
                self.send_header("Cache-Control", "max-age=3600")
                self.end_headers()
                self.wfile.write(tile)

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def address(self):
        return "http://127.0.0.1:%d/{z}/{x}/{y}.png" % self.server.server_address[1]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def picture(window, scratch, name):
    png = os.path.join(scratch, name)
    subprocess.run(["import", "-window", window, png], check=True, stderr=subprocess.DEVNULL)
    return colours(png)


def near(counts, colour, by):
    return sum(n for c, n in counts.items() if max(abs(a - b) for a, b in zip(c, colour)) <= by)


def check_tiles(binary, scratch):
    folder = os.path.join(scratch, "strade")
    os.mkdir(folder)
    write_table(folder, ['45,27,"N",,9,11,"E",0,0,#TRUE#,#FALSE#'])
    server = TileServer()
    with open(os.path.join(folder, "vadrel.ini"), "w") as ini:
        ini.write("[mappa]\nstrade=true\nindirizzo=%s\n" % server.address())
    cache = os.path.join(os.environ["HOME"], ".cache", "vadrel", "tile")
    vadrel = Vadrel(binary, folder)
    stopped = False
    try:
        until("il mezzo trasmette", lambda: vadrel.port.sentences())
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+v")
        xdotool("key", "--clearmodifiers", "m")
        map_window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
        until("la finestra Mappa si vede", lambda: viewable(map_window))
        until("vadrel chiede le tile", lambda: len(server.asked) >= 4)
        agents = {agent for _, agent in server.asked}
        if not all(a.startswith("vadrel/") for a in agents):
            fail("User-Agent delle richieste: %s" % agents)
        until("le tile sono sulla mappa",
              lambda: near(picture(map_window, scratch, "strade.png"), TILE, 8) > 40000)
        until("le tile sono nella cache su disco",
              lambda: sum(len(files) for _, _, files in os.walk(cache)) >= 4)
        print("ok: %d tile chieste (%s) e sulla mappa, con la cache in %s" % (len(server.asked), agents.pop(), cache))
        server.stop()
        stopped = True
        asked = len(server.asked)
        canvas = canvas_centre(map_window)
        xdotool("mousemove", "--window", map_window, str(canvas[0] - 150), str(canvas[1]))
        xdotool("mousedown", "1")
        for step in range(1, 7):
            xdotool("mousemove", "--window", map_window, str(canvas[0] - 150 + 50 * step), str(canvas[1]))
        xdotool("mouseup", "1")
        until("la mappa dice che le strade mancano",
              lambda: near(picture(map_window, scratch, "senza strade.png"), (150, 0, 0), 40) > 60)
        if vadrel.proc.poll() is not None:
            fail("vadrel è terminato quando il server delle tile si è fermato")
        print("ok: server fermo, la mappa lo dice e resta (%d richieste prima)" % asked)
    finally:
        if not stopped:
            server.stop()
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


def check_bomb_tiles(binary, scratch):
    """A server whose tiles decode to 95 MB (5000 x 5000 RGBA in 97 KB): the
    map says so in red, and asks no more."""
    folder = os.path.join(scratch, "bomba")
    os.mkdir(folder)
    write_table(folder, ['45,27,"N",,9,11,"E",0,0,#TRUE#,#FALSE#'])
    server = TileServer(png_of((0, 0, 0, 0), 5000))
    with open(os.path.join(folder, "vadrel.ini"), "w") as ini:
        ini.write("[mappa]\nstrade=true\nindirizzo=%s\n" % server.address())
    vadrel = Vadrel(binary, folder)
    try:
        until("il mezzo trasmette", lambda: vadrel.port.sentences())
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+v")
        xdotool("key", "--clearmodifiers", "m")
        map_window = until("la finestra Mappa compare", lambda: window_id("vadrel - Mappa"))
        until("la finestra Mappa si vede", lambda: viewable(map_window))
        until("la mappa dice che le tile sono troppo grandi",
              lambda: near(picture(map_window, scratch, "bomba.png"), (150, 0, 0), 40) > 60)
        asked = len(server.asked)
        if asked > 2:
            fail("%d tile chieste al server che manda tile troppo grandi: al più 2" % asked)
        # the map repainted by a few seconds' ticks asks no more
        seen = []
        until("passano tre frasi", lambda: seen.extend(vadrel.port.sentences()) or len(seen) >= 3)
        if len(server.asked) != asked:
            fail("tile chieste di nuovo dopo il rifiuto: %d, poi %d" % (asked, len(server.asked)))
        print("ok: tile di 5000x5000 pixel rifiutate (%d richieste), la mappa lo dice" % asked)
    finally:
        server.stop()
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


def check_fleet(binary, scratch):
    folder = os.path.join(scratch, "flotta")
    os.mkdir(folder)
    # vehicle 1 stands still: its next sentence carries exactly what was typed
    write_table(folder, ['45,30,"N",,9,10,"E",10,90,#TRUE#,#FALSE#',
                         '45,29,"N",,9,10,"E",0,0,#TRUE#,#FALSE#',
                         '45,29,"N",,9,8,"E",10,225,#TRUE#,#FALSE#'])
    vadrel = Vadrel(binary, folder, "--modo", "multi", "--mezzi", "3")
    try:
        until("il mezzo 1 trasmette", lambda: any(s.startswith("@1") for s in vadrel.port.sentences()))
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+v")
        xdotool("key", "--clearmodifiers", "f")
        table = until("la finestra Flotta compare", lambda: window_id("vadrel - Flotta"))
        until("la finestra Flotta si vede", lambda: viewable(table))
        focus(table)
        # the table opens on vehicle 0's latitude: one row down, F2, the text, Enter
        xdotool("key", "--clearmodifiers", "Down")
        xdotool("key", "--clearmodifiers", "F2")
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "15", "--", "12 30 0 S")
        xdotool("key", "--clearmodifiers", "Return")
        seen = []

        def edited():
            for s in vadrel.port.sentences():
                if s.startswith("@1"):
                    seen.append(s)
            return any(",1230.0000,S," in s for s in seen)

        if not wait_for(edited, 8.0):
            fail("nessuna frase @1 porta la latitudine scritta nella Flotta; lette: %s" % seen[-3:])
        print("ok: Flotta, la latitudine del mezzo 1 scritta nella tabella è nella sua frase @1 seguente")
    finally:
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


def check_port(binary, scratch):
    folder = os.path.join(scratch, "porta")
    os.mkdir(folder)
    write_table(folder, ['44,1,"N",,10,8,"E",0,0,#TRUE#,#FALSE#'])
    first_master, first_slave = os.openpty()
    second_master, second_slave = os.openpty()
    link = os.path.join(scratch, "gps-ricevitore")
    os.symlink(os.ttyname(second_slave), link)
    with open(os.path.join(folder, "vadrel.ini"), "w") as ini:
        ini.write("[porte]\ncom1=%s\n" % os.ttyname(first_slave))
    first = Port(fd=first_master)
    vadrel = Vadrel(binary, folder, "--porta", "1", port=first)
    try:
        until("COM 1 trasmette sul primo pseudo-terminale", vadrel.port.sentences)
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+u")
        xdotool("key", "--clearmodifiers", "p")
        dialog = until("il dialogo Porta compare", lambda: window_id("Porta"))
        focus(dialog)
        xdotool("key", "--clearmodifiers", "alt+1")
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "10", "--", link)
        xdotool("key", "--clearmodifiers", "Return")
        until("OK chiude il dialogo Porta", lambda: window_id("Porta") is None)
        second = Port(fd=second_master)
        until("le frasi vanno al dispositivo scelto", second.sentences)
        with open(os.path.join(folder, "vadrel.ini")) as ini:
            kept = ini.read()
        if "com1=" + link not in kept:
            fail("vadrel.ini non tiene la scelta: %r" % kept)
        print("ok: Porta... porta COM 1 su %s e vadrel.ini la tiene" % link)
    finally:
        code = vadrel.stop()
        for fd in (first_master, first_slave, second_master, second_slave):
            os.close(fd)
    if code != 0:
        fail("vadrel termina con %d" % code)


def check_ais(binary, scratch):
    """Opzioni > Bersagli AIS... from the keyboard: the targets switched on,
    vehicle 1 of "--mezzi 2" is heard on the port as !AIVDM, kept in vadrel.ini."""
    folder = os.path.join(scratch, "ais")
    os.mkdir(folder)
    write_table(folder, ['44,1,"N",,10,8,"E",0,0,#TRUE#,#FALSE#', '44,2,"N",,10,9,"E",0,0,#TRUE#,#FALSE#'])
    vadrel = Vadrel(binary, folder, "--mezzi", "2")
    try:
        until("il mezzo 0 trasmette", vadrel.port.sentences)
        focus(vadrel.window)
        xdotool("key", "--clearmodifiers", "alt+o")
        xdotool("key", "--clearmodifiers", "a")
        dialog = until("il dialogo Bersagli AIS compare", lambda: window_starting("Bersagli AIS"))
        focus(dialog)
        xdotool("key", "--clearmodifiers", "space")
        xdotool("key", "--clearmodifiers", "Return")
        until("OK chiude il dialogo", lambda: window_starting("Bersagli AIS") is None)
        heard = []
        if not wait_for(lambda: heard.extend(vadrel.port.sentences()) or any(s.startswith("!AIVDM") for s in heard), 5):
            fail("nessun !AIVDM dopo OK; lette: %s" % heard[-5:])
        with open(os.path.join(folder, "vadrel.ini")) as ini:
            if "attivi=true" not in ini.read():
                fail("vadrel.ini non tiene i bersagli AIS accesi")
        print("ok: Bersagli AIS... accende i bersagli, il mezzo 1 si sente come !AIVDM")
    finally:
        code = vadrel.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)


def rmc_speed(sentences):
    """The speed field of the last $GPRMC among the sentences, or None."""
    speeds = [s.split(",")[7] for s in sentences if s.startswith("$GPRMC") and s.count(",") > 8]
    return speeds[-1] if speeds else None


def check_first_start(binary, scratch):
    folder = os.path.join(scratch, "primo")
    os.mkdir(folder)
    # 20 km/h to the east: the classic receiver says 0.0, the modern one 10.8 knots
    write_table(folder, ['44,1,"N",,10,8,"E",20,90,#TRUE#,#FALSE#'])
    with open(os.path.join(folder, "stderr.txt"), "w") as errors:
        # COM 3 is /dev/ttyS2: a port that does not open here (as on a computer without serial ports)
        proc = subprocess.Popen([binary, "--cartella", folder, "--porta", "3"], stdout=subprocess.PIPE,
                                stderr=errors, text=True)
    try:
        panel = until("la finestra di vadrel compare", lambda: window_id(CAPTION))
        until("la finestra di vadrel si vede", lambda: viewable(panel))
        question = until("la domanda del primo avvio compare", lambda: window_id("vadrel - Primo avvio"))
        until("la domanda si vede", lambda: viewable(question))
        focused = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip()
        if int(focused or "0") != int(panel, 16):
            fail("la domanda prende la tastiera al pannello (%s, non %s)" % (focused, panel))
        focus(question)
        xdotool("key", "--clearmodifiers", "alt+p")
        ready, _, _ = select.select([proc.stdout], [], [], 10)
        line = proc.stdout.readline() if ready else ""
        match = re.match(r"COM 3: (/dev/pts/\d+)$", line.strip())
        if not match:
            fail("Crea la porta virtuale non dice il suo percorso: %r" % line)
        port = Port(match.group(1))
        heard = []
        until("la COM 3 virtuale trasmette", lambda: heard.extend(port.sentences()) or rmc_speed(heard))
        if rmc_speed(heard) != "0.0":
            fail("il ricevitore classico manda la velocità %r" % rmc_speed(heard))
        focus(question)
        xdotool("key", "--clearmodifiers", "alt+m")
        def kept():
            with open(os.path.join(folder, "vadrel.ini")) as ini:
                return "moto_reale=true" in ini.read()
        # a shortcut clicks a tenth of a second later: the answer kept before Esc
        until("vadrel.ini tiene il ricevitore moderno", kept)
        # it stays while it shows the port's path, until closed
        focus(question)
        xdotool("key", "--clearmodifiers", "Escape")
        until("Esc chiude la domanda", lambda: window_id("vadrel - Primo avvio") is None)
        heard.clear()
        until("il ricevitore moderno manda la velocità vera",
              lambda: heard.extend(port.sentences()) or rmc_speed(heard) == "10.8")
        with open(os.path.join(folder, "vadrel.ini")) as ini:
            kept = ini.read()
        if "moto_reale=true" not in kept or "com3=pty" not in kept:
            fail("vadrel.ini non tiene le risposte: %r" % kept)
    finally:
        code = stop_process(proc)
    if code != 0:
        fail("vadrel termina con %d" % code)
    # again: the answers kept, nothing asked
    again = Vadrel(binary, folder, "--porta", "3", port=None, com=False)
    try:
        heard = []
        until("la porta virtuale di vadrel.ini trasmette la velocità vera",
              lambda: heard.extend(again.port.sentences()) or rmc_speed(heard) == "10.8")
        if window_id("vadrel - Primo avvio") is not None:
            fail("con vadrel.ini presente la finestra chiede di nuovo")
    finally:
        code = again.stop()
    if code != 0:
        fail("vadrel termina con %d" % code)
    print("ok: primo avvio, la domanda accanto al pannello fa la porta virtuale e sceglie il ricevitore moderno")


@contextlib.contextmanager
def x_server(prefix, screen="1024x768x24"):
    """An Xvfb of its own, DISPLAY and HOME set for it (the file dialog starts
    in a folder of the test's own); yields that scratch folder. -noreset: the
    server lives on unchanged between the runs of vadrel, as a desktop's
    does, instead of resetting when each one leaves. `screen`: its size and depth."""
    scratch = tempfile.mkdtemp(prefix=prefix)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", screen,
                             "-dpi", "96", "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        ready, _, _ = select.select([read_end], [], [], 10)
        if not ready:
            fail("Xvfb non è partito")
        os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()
        os.environ["HOME"] = scratch
        yield scratch
    finally:
        xvfb.terminate()
        xvfb.wait(timeout=10)
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    binary = sys.argv[1]
    keep = sys.argv[2] if len(sys.argv) > 2 else None
    with x_server("vadrel-xvfb-") as scratch:
        check_go_to(binary, scratch, keep)
        check_map(binary, scratch, keep)
        check_fleet(binary, scratch)
        check_port(binary, scratch)
        check_ais(binary, scratch)
        check_first_start(binary, scratch)
        check_tiles(binary, scratch)
        check_bomb_tiles(binary, scratch)

if __name__ == "__main__":
    main()
