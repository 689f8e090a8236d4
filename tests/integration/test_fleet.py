"""The tracked fleet, on the real program: 1000 devices over traccar: and a
few over nmea: to receivers of the test's own for ten seconds; each device's
every report checked (its $PGID, its time, its motion to the metre on the
sphere of 6371 km, its speed in knots and course); the reports of a second
spread over it; a receiver that goes and comes back; a bad file refused
naming its line, before anything opens."""

import json
import math
import os
import selectors
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vadrel_run import Checks, Vadrel, checksum_ok, nmea_degrees  # noqa: E402

BINARY = sys.argv[1] if len(sys.argv) > 1 else ""
R_KM = 6371.0
PI = 3.141592  # the motion's own pi


class Receiver:
    """A TCP server on a port of its own, in a thread: every line of every
    connection with the time it came; it can go away and come back."""

    def __init__(self, port=0):
        self.lines = {}  # connection number -> [(line, time)]
        self.lock = threading.Lock()
        self.count = 0
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(4096)
        self.port = self.listener.getsockname()[1]
        self.open = True
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        selector = selectors.DefaultSelector()
        self.listener.setblocking(False)
        selector.register(self.listener, selectors.EVENT_READ, None)
        pending = {}
        while self.open:
            for key, _ in selector.select(0.05):
                if key.data is None:
                    try:
                        peer, _ = self.listener.accept()
                    except OSError:
                        continue
                    peer.setblocking(False)
                    with self.lock:
                        number = self.count
                        self.count += 1
                        self.lines[number] = []
                    pending[number] = b""
                    selector.register(peer, selectors.EVENT_READ, number)
                    continue
                number = key.data
                try:
                    chunk = key.fileobj.recv(65536)
                except OSError:
                    chunk = b""
                if not chunk:
                    selector.unregister(key.fileobj)
                    key.fileobj.close()
                    continue
                now = time.time()
                pending[number] += chunk
                *whole, pending[number] = pending[number].split(b"\r\n")
                with self.lock:
                    self.lines[number].extend((line.decode(), now) for line in whole)
        for key in list(selector.get_map().values()):
            key.fileobj.close()
        selector.close()

    def close(self):
        self.open = False
        self.thread.join()

    def by_device(self, greeted):
        """Each device's reports, by id: from its $PGID (greeted) or from the
        id the caller tells apart by position (not greeted: the first line)."""
        devices = {}
        with self.lock:
            for lines in self.lines.values():
                if not lines:
                    continue
                if greeted:
                    first = lines[0][0]
                    if not first.startswith("$PGID,"):
                        devices.setdefault("?", []).append(first)
                        continue
                    devices.setdefault(first[6:first.index("*")], []).extend(lines[1:])
                else:
                    devices.setdefault(len(devices), []).extend(lines)
        return devices


def parse_rmc(line):
    fields = line.split("*")[0].split(",")
    hhmmss, day = fields[1], fields[9]
    stamp = (int(day[4:6]) + 2000, int(day[2:4]), int(day[0:2]), int(hhmmss[0:2]), int(hhmmss[2:4]), int(hhmmss[4:6]))
    import calendar
    return {"t": calendar.timegm(stamp + (0, 0, 0)), "lat": nmea_degrees(fields[3], fields[4]),
            "lon": nmea_degrees(fields[5], fields[6]), "knots": fields[7], "course": fields[8], "status": fields[2]}


def reckon(lat, lon, course, km):
    """The dead reckoning of the panel's vehicles: the latitude first, then
    the longitude at the new latitude (degrees)."""
    arc = km / R_KM * 180 / PI
    c = math.radians(course) * PI / math.pi
    lat2 = lat + arc * math.cos(c)
    lon2 = lon + arc * math.sin(c) / math.cos(abs(lat2) * PI / 180)
    return lat2, lon2


def metres(a, b):
    """Great-circle distance on the sphere of 6371 km, in metres."""
    la1, lo1, la2, lo2 = map(math.radians, (a[0], a[1], b[0], b[1]))
    h = math.sin((la2 - la1) / 2) ** 2 + math.cos(la1) * math.cos(la2) * math.sin((lo2 - lo1) / 2) ** 2
    return 2 * R_KM * 1000 * math.asin(math.sqrt(h))


def fleet_file(folder, name, count, prefix):
    path = os.path.join(folder, name)
    devices = {}
    with open(path, "w") as f:
        f.write("id;lat;lon;rotta;velocita_kmh\n")
        for n in range(count):
            ident = "%s%04d" % (prefix, n)
            lat, lon = 44.0 + (n % 50) * 0.01, 7.0 + (n // 50) * 0.01
            course, kmh = (n * 37) % 360, 10 + (n * 7) % 140
            devices[ident] = (lat, lon, course, kmh)
            f.write("%s;%.2f;%.2f;%d;%d\n" % (ident, lat, lon, course, kmh))
    return path, devices


def check_device(checks, ident, lines, device, run_seconds):
    lat0, lon0, course, kmh = device
    reports = [(parse_rmc(line), at) for line, at in lines if line.startswith("$GPRMC")]
    checks.expect(all(checksum_ok(line) for line, _ in lines), "%s: every checksum right" % ident)
    checks.expect(len(reports) >= run_seconds - 4, "%s: %d reports in %d s" % (ident, len(reports), run_seconds))
    if not reports:
        return []
    times = [r["t"] for r, _ in reports]
    checks.expect(times == list(range(times[0], times[0] + len(times))),
                  "%s: a report every second, none twice: %s" % (ident, times[:20]))
    knots, course_text = "%.1f" % (kmh / 1.852), "%05.1f" % course
    checks.expect(all(r["knots"] == knots and r["course"] == course_text and r["status"] == "A" for r, _ in reports),
                  "%s: speed %s knots and course %s in every report" % (ident, knots, course_text))
    first = reports[0][0]
    worst = 0.0
    for r, _ in reports[1:]:
        expected = reckon(first["lat"], first["lon"], course, kmh * (r["t"] - first["t"]) / 3600)
        worst = max(worst, metres(expected, (r["lat"], r["lon"])))
    checks.expect(worst < 1.0, "%s: where speed and course say, to the metre (%.2f m off)" % (ident, worst))
    return [at - r["t"] for r, at in reports]


def api(url, method="GET", body=None):
    """The status and JSON answer of the control interface."""
    request = urllib.request.Request(url, data=body, method=method, headers={"Content-Type": "text/csv"})
    try:
        with urllib.request.urlopen(request, timeout=20) as reply:
            return reply.status, json.loads(reply.read())
    except urllib.error.HTTPError as e:
        return e.code, json.loads(e.read())


def check_api(checks, url, extra):
    status, overview = api(url + "/api/v1/flotta")
    servers = overview.get("server", [])
    checks.expect(status == 200 and overview.get("dispositivi") == 1005 and len(servers) == 2,
                  "GET /flotta: 1005 devices, two servers: %r" % overview)
    checks.expect(servers and servers[0]["protocollo"] == "traccar" and servers[0]["connessioni"] == 1000
                  and servers[0]["stato"] == "collegato", "the traccar server: %r" % (servers[:1],))
    status, device = api(url + "/api/v1/flotta/t0007")
    checks.expect(status == 200 and device.get("rotta") == 259 and device.get("ultimo_rapporto_ms"),
                  "GET /flotta/t0007: %r" % device)
    status, _ = api(url + "/api/v1/flotta/nessuno")
    checks.expect(status == 404, "an unknown device: 404")
    status, refusal = api(url + "/api/v1/flotta?verso=traccar:127.0.0.1:%d" % extra.port, "PUT",
                          b"id;lat;lon;rotta;velocita_kmh\np1;95;7;0;10\n")
    checks.expect(status == 400 and "flotta:2: lat:" in refusal.get("errore", ""),
                  "PUT of a bad fleet refused naming its line: %r" % refusal)
    body = "id;lat;lon;rotta;velocita_kmh\n" + "".join("p%d;45;7;%d;20\n" % (n, n * 90) for n in range(3))
    status, after = api(url + "/api/v1/flotta?verso=traccar%%3A127.0.0.1%%3A%d" % extra.port, "PUT", body.encode())
    checks.expect(status == 200 and after.get("dispositivi") == 1008, "PUT of a new fleet: %r" % after)


def bad_files(checks, folder):
    cases = [
        ("lat;lon\n", "1: id: manca la colonna"),
        ("id;lat;lon;rotta;velocita_kmh\na;45;7;0;10\nb;45;7;0;10\nc;95;7;0;10\n", "4: lat:"),
        ("id;lat;lon;rotta;velocita_kmh\na;45;7;0;10\na;45;7;0;10\n", "3: id:"),
    ]
    for text, said in cases:
        path = os.path.join(folder, "cattiva.csv")
        with open(path, "w") as f:
            f.write(text)
        started = time.monotonic()
        done = subprocess.run([BINARY, "--senza-finestra", "--cartella", folder, "--flotta", path,
                               "--flotta-verso", "traccar:127.0.0.1:9"], capture_output=True, text=True, timeout=30)
        checks.expect(done.returncode == 2, "bad file %r: exit 2, not %d" % (said, done.returncode))
        checks.expect(path + ":" + said in done.stderr, "bad file: the line named (%r in %r)" % (said, done.stderr))
        checks.expect(time.monotonic() - started < 10, "bad file: refused at once")
    done = subprocess.run([BINARY, "--senza-finestra", "--cartella", folder, "--flotta", path],
                          capture_output=True, text=True, timeout=30)
    checks.expect(done.returncode == 2 and "--flotta-verso" in done.stderr, "a --flotta without its server: exit 2")
    done = subprocess.run([BINARY, "--senza-finestra", "--cartella", folder, "--parte", "3/2"],
                          capture_output=True, text=True, timeout=30)
    checks.expect(done.returncode == 2 and "--parte" in done.stderr, "--parte 3/2: exit 2")


def main():
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="vadrel-fleet-")
    bad_files(checks, folder)
    traccar, nmea, extra = Receiver(), Receiver(), Receiver()
    traccar_file, traccar_devices = fleet_file(folder, "flotta.csv", 1000, "t")
    nmea_file, nmea_devices = fleet_file(folder, "nmea.csv", 5, "n")
    vadrel = Vadrel(BINARY, "--flotta", traccar_file, "--flotta-verso", "traccar:127.0.0.1:%d" % traccar.port,
                    "--flotta", nmea_file, "--flotta-verso", "nmea:127.0.0.1:%d" % nmea.port,
                    "--controllo", "127.0.0.1:0")
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    run_seconds = 10
    time.sleep(4)
    check_api(checks, url, extra)
    # The nmea receiver goes away for two seconds and comes back on its port.
    nmea_port = nmea.port
    nmea.close()
    nmea.listener.close()
    time.sleep(2)
    nmea_back = Receiver(nmea_port)
    time.sleep(run_seconds - 6)
    rss_kb = vadrel.memory_kb()
    time.sleep(5)  # the devices back after the receiver came back: retried within 1 + 2 s
    code = vadrel.stop()
    traccar.close()
    nmea_back.close()
    extra.close()
    put = extra.by_device(True)
    checks.expect(sorted(put) == ["p0", "p1", "p2"] and all(len(v) >= 5 for v in put.values()),
                  "the fleet PUT reports to its server: %r" % {k: len(v) for k, v in put.items()})
    checks.expect(code == 0, "vadrel ended cleanly (%d)" % code)
    checks.expect(rss_kb < 100 * 1024, "1005 devices in %d KiB (under 100 MB)" % rss_kb)

    by_id = traccar.by_device(True)
    checks.expect("?" not in by_id, "every traccar connection starts with its $PGID")
    checks.expect(set(by_id) == set(traccar_devices), "every device connected as itself (%d)" % len(by_id))
    delays = []
    for ident, device in traccar_devices.items():
        delays += check_device(checks, ident, by_id.get(ident, []), device, run_seconds + 5)
    # A second's reports spread over the second that follows, never in one burst.
    checks.expect(delays and min(delays) >= 0 and max(delays) < 1.5,
                  "each report after its second, within it (%.3f .. %.3f s)" % (min(delays), max(delays)))
    tenths = [0] * 10
    for delay in delays:
        tenths[min(int((delay % 1.0) * 10), 9)] += 1
    checks.expect(max(tenths) < 0.2 * len(delays), "spread over the second, by tenths: %s" % tenths)

    # nmea: no $PGID; after the receiver came back every device reported again.
    after = nmea_back.by_device(False)
    checks.expect(len(after) == len(nmea_devices), "every nmea device came back (%d)" % len(after))
    for lines in after.values():
        checks.expect(lines and lines[0][0].startswith("$GPRMC"), "nmea: no greeting, a $GPRMC first")
        checks.expect(len(lines) >= 3, "nmea: reports again after the receiver came back (%d)" % len(lines))
    checks.finish()


if __name__ == "__main__":
    main()
