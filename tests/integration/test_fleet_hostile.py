"""The tracked fleet against a hostile client and the machine's limits, on
the real program: a 16 MiB fleet PUT while the seconds go on (a second PUT
meanwhile refused with 409, bad bodies refused naming line and field); fleet
files that are a FIFO, a link to /dev/zero, a folder or too large, refused
at once on the command line and as a route named over PUT; a limit of 256
open files under 2000 devices; a stop of ten seconds under 2000 devices.

    test_fleet_hostile.py VADREL [put|files|descriptors|stop]...
"""

import json
import os
import re
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_fleet import Receiver  # noqa: E402
from vadrel_run import Checks, Vadrel, free_port  # noqa: E402

BINARY = sys.argv[1] if len(sys.argv) > 1 else ""
LIMIT = 16 * 1024 * 1024
DEVICES = 100000
checks = Checks()


def fleet_body(devices=DEVICES, limit=LIMIT):
    """As many bytes as the limit lets 100,000 rows be: long ids, all the
    decimals, a zone each."""
    header = b"id;lat;lon;rotta;velocita_kmh;zona\n"
    width = (limit - len(header)) // devices - 1
    rows = [header]
    for n in range(devices):
        lat, lon = 44 + (n % 300) * 0.001, 7 + (n // 300) * 0.001
        row = "%.13f;%.13f;%.12f;%.12f;%.11f,%.11f,5.00000" % (lat, lon, n % 360, 5 + n % 90, lat, lon)
        ident = ("d%06d-" % n).ljust(min(64, width - len(row) - 1), "x")
        rows.append((ident + ";" + row).encode()[:width] + b"\n")
    body = b"".join(rows)
    assert len(body) <= limit, len(body)
    return body


def put(url, body, destination, timeout=120):
    """The status and JSON answer of PUT /api/v1/flotta."""
    request = urllib.request.Request(url + "/api/v1/flotta?verso=" + destination, data=body, method="PUT",
                                     headers={"Content-Type": "text/csv"})
    try:
        with urllib.request.urlopen(request, timeout=timeout) as reply:
            return reply.status, json.loads(reply.read())
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read())


def overview(url):
    with urllib.request.urlopen(url + "/api/v1/flotta", timeout=20) as reply:
        return json.loads(reply.read())


def started(*extra, **popen):
    """vadrel with the control interface and a TCP server; its URL and TCP
    port; what it said on standard error until then in vadrel.early."""
    vadrel = Vadrel(BINARY, "--controllo", "127.0.0.1:0", "--tcp", "127.0.0.1:0", *extra, **popen)
    said = {}
    vadrel.early = []
    for line in vadrel.proc.stderr:
        vadrel.early.append(line)
        match = re.search(r"TCP in ascolto su 127\.0\.0\.1:(\d+)|in ascolto su (http://\S+)/api/v1", line)
        said.update({k: v for k, v in zip(("port", "url"), match.groups()) if v} if match else {})
        if len(said) == 2:
            break
    return vadrel, said["url"], int(said["port"])


class Seconds:
    """A TCP client of the seconds' sentences: the instant each $GPRMC came."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.arrivals = []
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while True:
            try:
                data = self.sock.recv(65536)
            except OSError:
                return
            if not data:
                return
            self.arrivals += [time.monotonic()] * data.count(b"$GPRMC")

    def longest_gap(self, start, end):
        seen = [t for t in self.arrivals if start <= t <= end]
        return max((b - a for a, b in zip(seen, seen[1:])), default=float("inf"))

    def close(self):
        self.sock.close()


def raw_put(port_url, body, destination):
    """A PUT sent whole on a socket of its own; the socket, for its answer."""
    host, port = port_url.split("//")[1].split(":")
    sock = socket.create_connection((host, int(port)), timeout=120)
    head = ("PUT /api/v1/flotta?verso=%s HTTP/1.1\r\nHost: %s:%s\r\nContent-Type: text/csv\r\n"
            "Content-Length: %d\r\nConnection: close\r\n\r\n" % (destination, host, port, len(body)))
    sock.sendall(head.encode() + body)
    return sock


def answer_of(sock):
    data = b""
    while True:
        chunk = sock.recv(65536)
        if not chunk:
            break
        data += chunk
    sock.close()
    head, _, body = data.partition(b"\r\n\r\n")
    return int(head.split()[1]), json.loads(body) if body else {}


def part_put(folder):
    vadrel, url, port = started()
    seconds = Seconds(port)
    try:
        time.sleep(2)
        body = fleet_body()
        nowhere = "osmand:http://127.0.0.1:%d" % free_port()
        start = time.monotonic()
        first = raw_put(url, body, nowhere)
        # The last bytes are in the kernel's buffers: a moment for the server
        # to take them; the reading itself takes about a second.
        time.sleep(0.3)
        small = b"id;lat;lon;rotta;velocita_kmh\na;45;7;0;10\n"
        status, busy = put(url, small, nowhere)
        checks.expect(status == 409 and "già in lettura" in busy.get("errore", ""),
                      "a second PUT while 16 MiB are read: 409 (%d %r)" % (status, busy))
        status, answer = answer_of(first)
        took = time.monotonic() - start
        checks.expect(status == 200 and answer.get("dispositivi") == DEVICES,
                      "the 16 MiB fleet taken: %d %r" % (status, str(answer)[:200]))
        time.sleep(1.5)
        gap = seconds.longest_gap(start - 1, time.monotonic())
        checks.expect(gap < 1.5, "the seconds keep their pace while it is read: longest gap %.3f s" % gap)
        print("16 MiB, %d devices: answered in %.2f s; longest gap between seconds %.3f s" % (DEVICES, took, gap))
        refused_bodies(url, folder, nowhere)
        status, now = put(url, small, nowhere)
        checks.expect(status == 200 and now.get("dispositivi") == 1, "the next PUT is taken: %d %r" % (status, now))
    finally:
        seconds.close()
        code, said, _ = vadrel.finish()
        checks.expect(code == 0, "vadrel ends in order after the PUTs: %d %s" % (code, said[-500:]))


def hostile_files(folder):
    """(name, path): a FIFO, a link to /dev/zero, a folder, 17 MiB."""
    fifo = os.path.join(folder, "fifo.csv")
    os.mkfifo(fifo)
    zero = os.path.join(folder, "zero.csv")
    os.symlink("/dev/zero", zero)
    inside = os.path.join(folder, "cartella.csv")
    os.mkdir(inside)
    big = os.path.join(folder, "grande.csv")
    with open(big, "wb") as f:
        f.write(b"id;lat;lon;rotta;velocita_kmh\n")
        f.write(b"a;45;7;0;10\n" * (17 * 1024 * 1024 // 12))
    return [("a FIFO", fifo, "non è un file normale"), ("a link to /dev/zero", zero, "non è un file normale"),
            ("a folder", inside, "cartella"), ("17 MiB", big, "più grande di 16 MiB")]


def refused_bodies(url, folder, nowhere):
    # (name, body, what the refusal says)
    rows = [("a bad latitude", b"id;lat;lon;rotta;velocita_kmh\na;45;7;0;10\nb;95;7;0;10\n", "flotta:3: lat:"),
            ("a repeated id", b"id;lat;lon;rotta;velocita_kmh\na;45;7;0;10\na;45;7;0;10\n", "flotta:3: id:"),
            ("17 MiB", b"id;lat;lon;rotta;velocita_kmh\n" + b"a;45;7;0;10\n" * (17 * 1024 * 1024 // 12),
             "più grande di 16 MiB")]
    routes = os.path.join(folder, "rotte")
    os.mkdir(routes)
    for name, path, _ in hostile_files(routes):
        rows.append(("a route that is " + name,
                     b"id;lat;lon;rotta;velocita_kmh;percorso\na;45;7;0;10;" + path.encode() + b"\n",
                     "flotta:2: percorso:"))
    for name, body, said in rows:
        started_at = time.monotonic()
        status, refusal = put(url, body, nowhere)
        checks.expect(status == 400 and said in refusal.get("errore", "") and refusal.get("campo") == "flotta",
                      "PUT of %s: 400 saying %r: %d %r" % (name, said, status, refusal))
        checks.expect(time.monotonic() - started_at < 10, "PUT of %s refused at once" % name)


def part_files(folder):
    for name, path, said in hostile_files(folder):
        started_at = time.monotonic()
        done = subprocess.run([BINARY, "--senza-finestra", "--cartella", folder, "--flotta", path,
                               "--flotta-verso", "traccar:127.0.0.1:9"], capture_output=True, text=True, timeout=60)
        checks.expect(done.returncode == 2 and said in done.stderr and path in done.stderr,
                      "--flotta %s: exit 2 saying %r (%d %r)" % (name, said, done.returncode, done.stderr))
        checks.expect(time.monotonic() - started_at < 10, "--flotta %s refused at once" % name)


def device_file(folder, count):
    path = os.path.join(folder, "flotta-%d.csv" % count)
    with open(path, "w") as f:
        f.write("id;lat;lon;rotta;velocita_kmh\n")
        for n in range(count):
            f.write("d%04d;45;7;%d;30\n" % (n, n % 360))
    return path


def part_descriptors(folder):
    receiver = Receiver()

    def low_limit():
        resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256))

    vadrel, url, port = started("--flotta", device_file(folder, 2000), "--flotta-verso",
                                "traccar:127.0.0.1:%d" % receiver.port, preexec_fn=low_limit)
    seconds = Seconds(port)
    try:
        time.sleep(6)
        state = overview(url)
        server = state["server"][0]
        checks.expect(100 < server["connessioni"] < 256 and "troppi file aperti" in server["stato"],
                      "256 open files: the fleet uses what it has: %r" % server)
        checks.expect(state["inviati"] > 0, "the connected devices report: %r" % state)
        with urllib.request.urlopen(url + "/api/v1/stato", timeout=10) as reply:
            checks.expect(reply.status == 200, "the control interface answers")
        checks.expect(seconds.longest_gap(time.monotonic() - 4, time.monotonic()) < 1.5, "the seconds go on")
    finally:
        seconds.close()
        code, said, _ = vadrel.finish()
        receiver.close()
    checks.expect(code == 0, "vadrel ends in order: %d" % code)
    said = "".join(vadrel.early) + said
    checks.expect("limite dei file aperti (256)" in said and "ulimit -n" in said,
                  "a clear message about the limit: %r" % said[-800:])


def part_stop(folder):
    receiver = Receiver()
    vadrel, url, port = started("--flotta", device_file(folder, 2000), "--flotta-verso",
                                "traccar:127.0.0.1:%d" % receiver.port)
    seconds = Seconds(port)
    try:
        time.sleep(6)
        before = overview(url)
        vadrel.proc.send_signal(signal.SIGSTOP)
        time.sleep(10)
        resumed = time.monotonic()
        resumed_wall = time.time()
        vadrel.proc.send_signal(signal.SIGCONT)
        time.sleep(4)
        after = overview(url)
        ticks = [t - resumed for t in seconds.arrivals if t >= resumed]
        checks.expect(ticks and ticks[0] < 1.2, "the panel's seconds resume at once: %r" % ticks[:3])
        checks.expect(after["server"][0]["connessioni"] == 2000, "no connection lost: %r" % after["server"])
        skipped = after["saltati"] - before["saltati"]
        checks.expect(skipped >= 9 * 2000, "the missed seconds skipped and counted: %d" % skipped)
    finally:
        seconds.close()
        vadrel.finish()
        receiver.close()
    with receiver.lock:
        arrivals = [t - resumed_wall for lines in receiver.lines.values() for line, t in lines
                    if t >= resumed_wall and line.startswith("$GPRMC")]
    tenths = [0] * 30
    for at in arrivals:
        if at < 3:
            tenths[int(at * 10)] += 1
    checks.expect(max(tenths) < 500, "no burst after the resume: reports by tenth of a second %r" % tenths)
    print("after a stop of 10 s: %d reports skipped; the first 3 s by tenths %r" % (skipped, tenths))


def main():
    folder = tempfile.mkdtemp(prefix="vadrel-fleet-hostile-")
    resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
    parts = {"put": part_put, "files": part_files, "descriptors": part_descriptors, "stop": part_stop}
    for name in sys.argv[2:] or parts:
        os.makedirs(os.path.join(folder, name))
        parts[name](os.path.join(folder, name))
    checks.finish()


if __name__ == "__main__":
    main()
