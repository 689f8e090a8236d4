#!/usr/bin/python3
"""Memory of the real program with 19 vehicles on routes of 100,000 points:
the start that gives them (each route's GPX written to the program's folder)
and the restart that takes the 19 kept routes up again. Prints VmRSS and
VmHWM (the peak) of each, from /proc/PID/status once every route is said.
Then bodies given by PUT, one program each: a JSON of 560,000 points
(16.7 MB), a GPX of 16 MB nested deep (refused), a GPX of 420,000 rtept
(17 MB); VmRSS after the answer and VmHWM.

    bench/routes_memory.py build/src/app/vadrel
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

POINTS = 100_000
VEHICLES = 19


def write_gpx(path):
    """A track east from 44 N 9 E in a zigzag, a point a second (as bench_routes' route)."""
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="bench" '
                'xmlns="http://www.topografix.com/GPX/1/1">\n<trk><name>Lungo</name><trkseg>\n')
        for i in range(POINTS):
            t = 1_700_000_000 + i
            f.write(' <trkpt lat="%.4f" lon="%.4f"><time>%s</time></trkpt>\n'
                    % (44.0 + (0.0002 if i % 2 else 0.0), 9.0 + 0.0003 * i,
                       time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(t))))
        f.write("</trkseg></trk></gpx>\n")


def status(pid):
    fields = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                fields[key] = int(value.split()[0]) / 1024.0
    return fields


def run(binary, folder, extra, pattern):
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", *extra],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    start, said = time.monotonic(), 0
    for line in proc.stderr:
        if re.search(pattern, line):
            said += 1
            if said == VEHICLES:
                break
    took = time.monotonic() - start
    time.sleep(2)  # a few ticks on the routes
    memory = status(proc.pid)
    proc.terminate()
    proc.communicate(timeout=60)
    return took, memory


def put_bodies(binary, folder):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
    from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
    json_body = ("{\"nome\":\"lungo\",\"punti\":[" + ",".join(
        '{"lat":%.6f,"lon":%.6f}' % (44.0 + (0.0002 if i % 2 else 0.0), 9.0 + 0.00001 * i)
        for i in range(560_000)) + "]}").encode()
    nested = b"<gpx>" + b"<a>" * (16 * 1024 * 1024 // 3) + b"</gpx>"
    rtept = ("<gpx>\n<rte>\n" + "".join('<rtept lat="%.7f" lon="%.7f"></rtept>\n' % (44.0, 9.0 + 0.00001 * i)
                                        for i in range(420_000)) + "</rte></gpx>\n").encode()
    for name, body, kind in (("PUT JSON 560,000 points", json_body, "application/json"),
                             ("PUT GPX nested 16 MB", nested, "application/gpx+xml"),
                             ("PUT GPX 420,000 rtept", rtept, "application/gpx+xml")):
        program = os.path.join(folder, "put-%d" % len(body))
        os.mkdir(program)
        proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", program, "--com", "2=pty",
                                 "--controllo", "127.0.0.1:0"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        url = None
        for line in proc.stderr:
            match = re.search(r"in ascolto su (http://\S+)/api/v1", line)
            if match:
                url = match.group(1)
                break
        start = time.monotonic()
        try:
            Client(url, timeout=120).set_route(0, body, kind)
            answer = "200"
        except VadrelError as e:
            answer = "%d" % e.status
        took = time.monotonic() - start
        time.sleep(1)
        memory = status(proc.pid)
        proc.terminate()
        proc.communicate(timeout=60)
        print("%-26s %5.1f s  %s  %4.1f MB body  VmRSS %5.1f MB  VmHWM %5.1f MB"
              % (name, took, answer, len(body) / 1e6, memory["VmRSS"], memory["VmHWM"]))


def main(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    try:
        gpx = os.path.join(folder, "lungo.gpx")
        write_gpx(gpx)
        program = os.path.join(folder, "cartella")
        os.mkdir(program)
        given = [a for n in range(VEHICLES) for a in ("--percorso", "%d=%s" % (n, gpx))]
        for name, extra, pattern in (("start, 19 routes given", given, r"segue il percorso"),
                                     ("restart, 19 kept routes", [], r"riprende il suo percorso")):
            took, memory = run(binary, program, extra, pattern)
            print("%-26s %5.1f s  VmRSS %5.1f MB  VmHWM %5.1f MB" % (name, took, memory["VmRSS"], memory["VmHWM"]))
        put_bodies(binary, folder)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main(sys.argv[1])
