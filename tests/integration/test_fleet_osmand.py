#!/usr/bin/python3
"""The real program reporting a fleet of 600 devices to an OsmAnd server
(a small threaded HTTP/1.1 receiver with kept-alive connections, as
Traccar's OsmAnd port is) for about 13 seconds: every device every second,
each report where the device's speed and course take it from its start
(dead reckoning on the sphere, to the metre), its speed in knots and its
bearing as the fleet file says, over a few connections kept alive, and the
program's memory under 100 MB."""

import http.server
import math
import os
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from vadrel_run import SKIPPED, Checks, Vadrel

DEVICES = 600
SECONDS = 13
EARTH_RADIUS_M = 6371000.0
KMH_PER_KNOT = 1.852


class Receiver(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.lock = threading.Lock()
        self.reports = []      # (arrival, parameters)
        self.connections = 0
        self.refused = []      # requests that were no OsmAnd report

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):  # the program's end resets its connections
            super().handle_error(request, client_address)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # kept alive, pipelined requests read in turn

    def setup(self):
        super().setup()
        with self.server.lock:
            self.server.connections += 1

    def do_GET(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query, keep_blank_values=True)
        with self.server.lock:
            if all(len(query.get(k, ())) == 1 for k in ("id", "lat", "lon", "timestamp", "speed", "bearing")):
                self.server.reports.append((time.time(), {k: v[0] for k, v in query.items()}))
            else:
                self.server.refused.append(self.path)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_POST = do_GET

    def log_message(self, *_):
        pass


def fleet_file(folder):
    """600 devices over the globe away from the poles, some standing still."""
    path = os.path.join(folder, "flotta.csv")
    devices = {}
    with open(path, "w") as f:
        f.write("id;lat;lon;rotta;velocita_kmh\n")
        for i in range(DEVICES):
            device = ("dev-%03d" % i, -60 + (i * 7.3) % 120, -179 + (i * 13.7) % 358, (i * 37) % 360,
                      0.0 if i % 50 == 0 else 5 + (i * 11) % 115)
            devices[device[0]] = device[1:]
            f.write("%s;%.6f;%.6f;%d;%.1f\n" % device)
    return path, devices


def distance_m(lat1, lon1, lat2, lon2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    a = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * EARTH_RADIUS_M * math.asin(math.sqrt(a))


def destination(lat, lon, course, metres):
    """Where `metres` along the great circle of initial `course` lead."""
    p, l, c, d = math.radians(lat), math.radians(lon), math.radians(course), metres / EARTH_RADIUS_M
    p2 = math.asin(math.sin(p) * math.cos(d) + math.cos(p) * math.sin(d) * math.cos(c))
    l2 = l + math.atan2(math.sin(c) * math.sin(d) * math.cos(p), math.cos(d) - math.sin(p) * math.sin(p2))
    return math.degrees(p2), (math.degrees(l2) + 540) % 360 - 180


def check_device(checks, name, start, reports):
    """Each second once; the position on the course from the start, the
    distance from it growing as the speed says; speed and bearing."""
    lat0, lon0, course, kmh = start
    stamps = [int(r["timestamp"]) for r in reports]
    checks.expect(len(set(stamps)) == len(stamps), "%s: a second reported twice: %s" % (name, stamps))
    middle = sorted(set(stamps))[1:-1]  # the first and last second may fall outside the run
    checks.expect(len(middle) >= SECONDS - 5 and middle == list(range(middle[0], middle[-1] + 1)),
                  "%s: not every second: %s" % (name, stamps))
    speed_ms = kmh / 3.6
    travelled = []
    for r in reports:
        lat, lon = float(r["lat"]), float(r["lon"])
        d = distance_m(lat0, lon0, lat, lon)
        on_course = destination(lat0, lon0, course, d)
        checks.expect(distance_m(lat, lon, *on_course) < 1.0,
                      "%s: %.6f %.6f is off the course %g from the start" % (name, lat, lon, course))
        checks.expect(abs(float(r["speed"]) - kmh / KMH_PER_KNOT) < 0.006,
                      "%s: speed %s kn for %g km/h" % (name, r["speed"], kmh))
        if kmh > 0:
            checks.expect(abs((float(r["bearing"]) - course + 180) % 360 - 180) < 0.1,
                          "%s: bearing %s for course %g" % (name, r["bearing"], course))
        travelled.append((int(r["timestamp"]), d))
    first_t, first_d = travelled[0]
    for t, d in travelled[1:]:
        checks.expect(abs((d - first_d) - speed_ms * (t - first_t)) < 1.0,
                      "%s: %.2f m in %d s at %g km/h" % (name, d - first_d, t - first_t, kmh))


def peak_memory_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise AssertionError("no VmHWM")


def main(binary):
    help_text = subprocess.run([binary, "--help"], capture_output=True, text=True).stdout
    if "--flotta" not in help_text:
        print("SKIPPED: this vadrel has no --flotta (the tracked fleet is not in this build)")
        return SKIPPED
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="vadrel-flotta-")
    path, devices = fleet_file(folder)
    receiver = Receiver()
    threading.Thread(target=receiver.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/" % receiver.server_address[1]
    vadrel = Vadrel(binary, "--flotta", path, "--flotta-verso", "osmand:" + url, folder=folder)
    time.sleep(SECONDS)  # the real program's real seconds
    peak = peak_memory_kb(vadrel.proc.pid)
    code = vadrel.stop()
    receiver.shutdown()
    checks.expect(code == 0, "exit code %s" % code)
    checks.expect(peak < 100 * 1024, "peak memory %d KB" % peak)
    checks.expect(not receiver.refused, "requests without a report: %s" % receiver.refused[:3])
    checks.expect(1 <= receiver.connections <= 4, "%d connections" % receiver.connections)
    by_device = {}
    for _, report in receiver.reports:
        by_device.setdefault(report["id"], []).append(report)
    checks.expect(sorted(by_device) == sorted(devices), "devices heard: %d of %d" % (len(by_device), DEVICES))
    for name, reports in sorted(by_device.items()):
        if name in devices:
            check_device(checks, name, devices[name], reports)
    print("%d reports from %d devices, %d connections, peak memory %d KB"
          % (len(receiver.reports), len(by_device), receiver.connections, peak))
    checks.finish()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
