#!/usr/bin/python3
"""Large and hostile routes against the real program's seconds:
* a valid GPX of 17 MB (420,000 rtept, one a line) given by PUT is taken,
  as --percorso takes it;
* while 32 MB of GPX (a route of a million points) are sent, read and kept
  in the program's folder, a reader of the TCP server gets every second,
  none missed and none later than those before the upload;
* a route file with one element of a million attributes is refused at once
  with its line and column;
* a start that reads a route of a million points ends within a second of
  SIGTERM, whenever it comes;
* a FIFO given as a route is refused without being read;
* a loop of one point given a speed holds its vehicle there."""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client  # noqa: E402
from vadrel_run import Checks, Vadrel, each_line  # noqa: E402

checks = Checks()
expect = checks.expect


def write_gpx(path, points, timed=False):
    """A route east from 44 N 9 E, one point a line."""
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="prova" '
                'xmlns="http://www.topografix.com/GPX/1/1">\n<%s><name>lungo</name>%s\n'
                % (("trk", "<trkseg>") if timed else ("rte", "")))
        for i in range(points):
            if timed:
                f.write('<trkpt lat="%.6f" lon="%.6f"><time>%s</time></trkpt>\n'
                        % (44.0 + (0.0002 if i % 2 else 0.0), 9.0 + 0.0003 * (i % 100000),
                           time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(1_700_000_000 + i))))
            else:
                f.write('<rtept lat="%.7f" lon="%.7f"></rtept>\n' % (44.0 + (0.0002 if i % 2 else 0.0),
                                                                     9.0 + 0.00001 * i))
        f.write("</trkseg></trk></gpx>\n" if timed else "</rte></gpx>\n")


def slow_body():
    """32 MB of GPX: one route of a million points, the most a route takes."""
    points = "".join('<rtept lat="4%d" lon="9.%05d"/>\n' % (4 + i % 2, i % 100000) for i in range(1_000_000))
    return ('<gpx>\n<rte><name>grande</name>\n%s</rte></gpx>\n' % points).encode()


class Seconds(threading.Thread):
    """Each $GPRMC the TCP server sends: its arrival (wall clock) and its time of day."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.arrivals = []
        self.lock = threading.Lock()
        self.start()

    def run(self):
        def take(line, now):
            if line.startswith(b"$GPRMC,"):
                hhmmss = line.split(b",")[1][:6].decode()
                seconds = int(hhmmss[:2]) * 3600 + int(hhmmss[2:4]) * 60 + int(hhmmss[4:6])
                with self.lock:
                    self.arrivals.append((now, seconds))
        each_line(self.sock, take)

    def between(self, start, end):
        with self.lock:
            return [a for a in self.arrivals if start <= a[0] <= end]


def missed(arrivals):
    """The seconds missing between the first and the last arrival."""
    times = [s for _, s in arrivals]
    return sum(max(0, (b - a) % 86400 - 1) for a, b in zip(times, times[1:]))


def late_ms(arrivals):
    """The largest arrival after the wall-clock second, in ms."""
    return max((now % 1.0) * 1000 for now, _ in arrivals) if arrivals else 0.0


def tick_beside_put(binary, folder):
    gpx = os.path.join(folder, "grande.gpx")
    write_gpx(gpx, 420_000)
    size = os.path.getsize(gpx)
    expect(16 << 20 < size < 32 << 20, "a GPX between 16 and 32 MB: %d bytes" % size)

    # What --percorso takes...
    start = Vadrel(binary, "--percorso", "1=" + gpx)
    expect(start.said(r"il mezzo 1 segue il percorso") is not None, "--percorso takes it")
    start.stop()

    # ... PUT takes, while the seconds go on.
    vadrel = Vadrel(binary, "--tcp", "0", "--controllo", "127.0.0.1:0")
    port = vadrel.tcp_port()
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    client = Client(url, timeout=60)
    try:
        seconds = Seconds(port)
        with open(gpx, "rb") as f:
            answer = client.set_route(0, f.read(), "application/gpx+xml")
        expect(answer.get("punti_totali") == 420_000, "PUT takes the 420,000 points: %r" % answer.get("punti_totali"))

        # A file slow to read, its whole route kept, given to three vehicles
        # one after another: the seconds go on beside its reading and its
        # keeping as before them.
        body = slow_body()
        time.sleep(6)
        before_end = time.time()
        put_start = time.time()
        for n in (1, 3, 4):
            put_begun = time.time()
            answer = client.set_route(n, body, "application/gpx+xml")
            put_end = time.time()
            expect(answer.get("punti_totali") == 1_000_000, "the whole route taken: %r" % answer.get("punti_totali"))
            while "in corso" in client.route(n, count=1).get("perche_non_tenuto", "") and time.time() < put_end + 60:
                time.sleep(0.05)
            kept_end = time.time()
            expect(client.route(n, count=1)["tenuto"] is True, "and kept")
            print("PUT of %.1f MB took %.2f s, its keeping %.2f s more"
                  % (len(body) / 1e6, put_end - put_begun, kept_end - put_end))
        time.sleep(2.5)
        before = seconds.between(before_end - 5, before_end)
        during = seconds.between(put_start, kept_end + 2)
        print("latest arrival after the second: %.0f ms before, %.0f ms during" % (late_ms(before), late_ms(during)))
        expect(len(before) >= 4 and missed(before) == 0, "every second before the upload: %r" % before)
        expect(len(during) >= 2 and missed(during) == 0, "every second during the upload: %r" % during)
        expect(late_ms(during) < late_ms(before) + 250,
               "the seconds arrive as before the upload: %.0f ms, before %.0f ms" % (late_ms(during), late_ms(before)))

        # A loop of one point holds the vehicle there, whatever speed it is given.
        client.set_route(2, [{"lat": 45.5, "lon": 9.5}], fine="ciclo")
        client.set_vehicle(2, velocita=50)
        time.sleep(2.2)
        held = client.vehicle(2)
        expect(abs(held["lat"] - 45.5) < 1e-6 and abs(held["lon"] - 9.5) < 1e-6,
               "a one-point loop given a speed stays at its point: %r" % held)
        expect(client.route(2, count=1)["punti_totali"] == 1, "and keeps its route")
    finally:
        code = vadrel.stop()
    expect(code == 0, "exit code 0: %d" % code)


def started(binary, folder, *extra):
    os.makedirs(folder, exist_ok=True)
    return subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", *extra],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def terminated(proc, sig=signal.SIGTERM):
    """The signal (none: the program ends by itself), then how long the
    program took to end and what it said (killed after 30 s)."""
    sent = time.monotonic()
    if sig is not None:
        proc.send_signal(sig)
    try:
        _, said = proc.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        _, said = proc.communicate()
    return time.monotonic() - sent, said


def hostile_starts(binary, folder):
    # One element, a million attributes: refused at once, with where.
    bomb = os.path.join(folder, "bomba.gpx")
    with open(bomb, "w") as f:
        f.write("<gpx>\n<rte")
        for i in range(1_000_000):
            f.write(' a%d=""' % i)
        f.write("/></gpx>\n")
    proc = started(binary, os.path.join(folder, "bomba"), "--percorso", "0=" + bomb)
    took, said = terminated(proc, None)
    expect(proc.returncode == 2 and "riga 2, colonna 444" in said and "più di 64 attributi" in said,
           "a million attributes refused with where: %d %r" % (proc.returncode, said[-300:]))
    expect(took < 10, "and at once: %.1f s" % took)

    # A million points to read at the start: SIGTERM at any moment ends it within a second.
    many = os.path.join(folder, "milione.gpx")
    write_gpx(many, 999_999, timed=True)
    for delay in (0.2, 0.6, 1.2):
        proc = started(binary, os.path.join(folder, "milione-%s" % delay), "--percorso", "0=" + many)
        time.sleep(delay)
        took, said = terminated(proc)
        print("SIGTERM %.1f s after the start: ended in %.2f s, %d" % (delay, took, proc.returncode))
        expect(took < 1.0, "SIGTERM %.1f s into the start ends it within a second: %.2f s" % (delay, took))
        expect(proc.returncode in (0, 2), "an orderly end: %d %r" % (proc.returncode, said[-300:]))

    # A kept route of 420,000 points read again at the start: SIGTERM ends it as well.
    kept_folder = os.path.join(folder, "tenuto")
    os.makedirs(kept_folder)
    large = os.path.join(folder, "tenuto.gpx")
    write_gpx(large, 420_000)
    first = Vadrel(binary, "--percorso", "0=" + large, folder=kept_folder)
    first.said(r"il mezzo 0 segue il percorso")
    first.stop()
    proc = started(binary, kept_folder)
    time.sleep(0.3)
    took, said = terminated(proc)
    print("SIGTERM while the kept route is read: ended in %.2f s, %d" % (took, proc.returncode))
    expect(took < 1.0 and proc.returncode in (0, 2), "SIGTERM while a kept route is read: %.2f s, %d %r"
           % (took, proc.returncode, said[-300:]))

    # A FIFO is not read: nothing waits for a writer.
    fifo = os.path.join(folder, "fifo.gpx")
    os.mkfifo(fifo)
    proc = started(binary, os.path.join(folder, "fifo"), "--percorso", "0=" + fifo)
    try:
        _, said = proc.communicate(timeout=15)
    except subprocess.TimeoutExpired:
        proc.kill()
        _, said = proc.communicate()
    expect(proc.returncode == 2 and "FIFO" in said, "a FIFO refused unread: %d %r" % (proc.returncode, said[-200:]))


def main(binary, part="all"):
    with tempfile.TemporaryDirectory(prefix="vadrel-carico-") as folder:
        if part in ("all", "put"):
            tick_beside_put(binary, folder)
        if part in ("all", "start"):
            hostile_starts(binary, folder)
    checks.finish()


if __name__ == "__main__":
    main(*sys.argv[1:3])
