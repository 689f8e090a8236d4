#!/usr/bin/python3
"""Routes on the real program, read from its virtual port.

A route across the 180th meridian at 720 km/h, read through gpsd: every fix
within 1 m of its great-circle leg, and 200 m between consecutive fixes.
A route near 80 N that stops at its end: every sentence on its legs, the
last point reached and held there at speed 0. Files that must not be
followed are refused with exit code 2 before anything is sent. A route kept
in the program's folder goes on after a restart where the vehicle was; a
damaged one is refused, said and left as it is."""

import glob
import math
import os
import subprocess
import sys
import tempfile
import time

from vadrel_run import Checks, GpsdWatch, Vadrel, folder_with_vehicle, nmea_degrees, read_port, sentences_of

EARTH = 6371008.8  # metres, the mean radius the routes' great circles use
checks = Checks()
expect = checks.expect


def vector(lat, lon):
    la, lo = math.radians(lat), math.radians(lon)
    return (math.cos(la) * math.cos(lo), math.cos(la) * math.sin(lo), math.sin(la))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def distance(p, q):
    """Metres along the great circle between two (lat, lon)."""
    a, b = vector(*p), vector(*q)
    return EARTH * math.atan2(math.sqrt(dot(cross(a, b), cross(a, b))), dot(a, b))


def off_leg(point, start, end):
    """Metres from `point` to the great-circle arc from start to end."""
    a, b, p = vector(*start), vector(*end), vector(*point)
    normal = cross(a, b)
    size = math.sqrt(dot(normal, normal))
    normal = tuple(x / size for x in normal)
    across = abs(math.asin(max(-1.0, min(1.0, dot(p, normal)))) * EARTH)
    # Beyond either end of the arc: the distance to that end.
    if dot(cross(a, p), normal) < 0 or dot(cross(p, b), normal) < 0:
        return min(distance(point, start), distance(point, end))
    return across


def off_route(point, points):
    return min(off_leg(point, points[i], points[i + 1]) for i in range(len(points) - 1))


def leg_of(point, points):
    return min(range(len(points) - 1), key=lambda i: off_leg(point, points[i], points[i + 1]))


def along(p, q, points):
    """Metres along the route from p to a later q (through the points between)."""
    i, j = leg_of(p, points), leg_of(q, points)
    if i == j:
        return distance(p, q)
    corners = points[i + 1:j + 1]
    path = [p, *corners, q]
    return sum(distance(a, b) for a, b in zip(path, path[1:]))


def rmc_fix(sentence):
    """(lat, lon, knots) of a $GPRMC."""
    f = sentence.split(",")
    lat, lon = nmea_degrees(f[3], f[4]), nmea_degrees(f[5], f[6])
    return lat, lon, float(f[7])


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def across_the_date_line(binary, files):
    points = [(10.0, 179.995), (10.0, -179.99), (10.01, -179.98)]
    route = write(files, "linea.csv", "lat;lon;velocita_kmh\n" + "".join("%r;%r;720\n" % p for p in points))
    vadrel = Vadrel(binary, "--utc", "--moto-reale", "--percorso", "0=" + route)
    try:
        with GpsdWatch(vadrel.device, time.monotonic() + 20) as gpsd:
            fixes = []
            deadline = time.monotonic() + 20
            while len(fixes) < 6:
                got = gpsd.next_report(deadline)
                if got is None:
                    break
                report = got[1]
                if report.get("class") == "TPV" and report.get("mode", 0) >= 2 and "lat" in report:
                    fixes.append(report)
    finally:
        vadrel.stop()
    expect(len(fixes) == 6, "gpsd reported 6 fixes along the route, not %d" % len(fixes))
    for fix in fixes:
        off = off_route((fix["lat"], fix["lon"]), points)
        expect(off < 1.0, "fix %.7f %.7f is %.2f m off the route" % (fix["lat"], fix["lon"], off))
        expect(abs(fix.get("speed", 0) - 200.0) < 1.0, "gpsd's speed %r m/s, not 200" % fix.get("speed"))
    steps = [along((a["lat"], a["lon"]), (b["lat"], b["lon"]), points) for a, b in zip(fixes, fixes[1:])]
    # One second apart, as late as each tick came (a loaded machine's few
    # milliseconds), less what the sentence's ten-thousandths of a minute cut
    # off; over the five seconds the lateness cancels but at the ends.
    expect(all(abs(s - 200.0) < 3.0 for s in steps), "about 200 m between consecutive fixes: %r" % steps)
    expect(abs(sum(steps) / len(steps) - 200.0) < 1.0, "200 m a second over five: %r" % steps)
    expect(any(fix["lon"] < 0 for fix in fixes) or fixes[0]["lon"] > 179.99,
           "the fixes cross the meridian or lie just before it")


def stops_at_its_end(binary, files):
    points = [(80.0, 10.0), (80.003, 10.0), (80.003, 10.02)]
    route = write(files, "fine.csv", "lat;lon\n" + "".join("%r;%r\n" % p for p in points))
    # 360 km/h: the two legs (334 m and 386 m) take 7.2 s.
    folder = folder_with_vehicle('80,0,"N",,10,0,"E",360,0,#TRUE#,#FALSE#')
    vadrel = Vadrel(binary, "--moto-reale", "--percorso", "0=" + route + ",fine=ferma", folder=folder)
    try:
        data = read_port(vadrel.device, 11)
    finally:
        vadrel.stop()
    fixes = [rmc_fix(s) for s in sentences_of(data) if s.startswith("$GPRMC")]
    expect(len(fixes) >= 9, "at least 9 sentences in 11 s, not %d" % len(fixes))
    for lat, lon, _ in fixes:
        off = off_route((lat, lon), points)
        expect(off < 1.0, "%.7f %.7f is %.2f m off the route" % (lat, lon, off))
    last = fixes[-2:]
    expect(all(distance((lat, lon), points[-1]) < 1.0 and knots == 0.0 for lat, lon, knots in last),
           "the last point reached and held at speed 0: %r" % last)
    moving = [knots for _, _, knots in fixes if knots > 0]
    expect(moving and all(abs(k - 194.4) < 0.1 for k in moving), "194.4 knots until the end: %r" % moving)


def refused(binary, files):
    laughs = ('<?xml version="1.0"?>\n<!DOCTYPE gpx [<!ENTITY a "aaaaaaaaaa">'
              '<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>\n'
              '<gpx version="1.1"><rte><name>&b;</name><rtept lat="1" lon="1"/></rte></gpx>\n')
    cases = [
        ("entities", write(files, "risate.gpx", laughs), ""),
        ("a point out of range", write(files, "fuori.csv", "lat;lon\n44;10\n95;10\n"), ""),
        ("a folder", files, ""),
        ("no such route in the file", write(files, "uno.csv", "lat;lon\n44;10\n44.1;10\n"), ",nome=Ritorno"),
        ("the track's rhythm without times", write(files, "senza.csv", "lat;lon\n44;10\n44.1;10\n"),
         ",ritmo=traccia"),
    ]
    for name, path, options in cases:
        folder = tempfile.mkdtemp(prefix="vadrel-")
        run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty",
                              "--percorso", "0=" + path + options],
                             capture_output=True, text=True, timeout=30)
        expect(run.returncode == 2, "%s: exit code 2, not %d" % (name, run.returncode))
        expect(run.stderr.startswith("vadrel: --percorso 0=" + path), "%s: said naming the file: %r" % (name, run.stderr))
        expect("COM 2" not in run.stdout and not os.path.exists(os.path.join(folder, "vadrel.cnf")),
               "%s: nothing made or sent" % name)


def fixes_for(vadrel, seconds):
    """The $GPRMC fixes of that many seconds, then the shut-down: the fixes
    and what the program said on standard error."""
    try:
        data = read_port(vadrel.device, seconds)
    finally:
        code, said, _ = vadrel.finish()
    expect(code == 0, "exit code 0 at the shut-down, not %d: %s" % (code, said))
    return [rmc_fix(s) for s in sentences_of(data) if s.startswith("$GPRMC")], said


def goes_on_after_a_restart(binary, files):
    # North along the meridian 10 E at 360 km/h: 100 m a second.
    points = [(44.0, 10.0), (44.1, 10.0)]
    route = write(files, "nord.csv", "lat;lon\n" + "".join("%r;%r\n" % p for p in points))
    folder = folder_with_vehicle('44,0,"N",,10,0,"E",360,0,#TRUE#,#FALSE#')
    state = os.path.join(folder, "vadrel.percorso.0")

    def run(*extra):
        fixes, said = fixes_for(Vadrel(binary, *extra, folder=folder), 4)
        expect(len(fixes) >= 3, "fixes read: %r" % fixes)
        expect(all(off_route(fix[:2], points) < 1.0 for fix in fixes), "on the route: %r" % fixes)
        return fixes, said

    first, _ = run("--percorso", "0=" + route)
    reached = distance(points[0], first[-1][:2])
    expect(os.path.exists(state) and len(glob.glob(state + ".*.gpx")) == 1, "the route kept in the folder")
    # Without the route on the command line, and with the same one again: on from there.
    for extra in ((), ("--percorso", "0=" + route)):
        fixes, said = run(*extra)
        gone = distance(points[0], fixes[0][:2])
        expect(reached - 1.0 < gone < reached + 350.0, "%r: on from %.0f m, not from %.0f m" % (extra, reached, gone))
        expect("riprende il suo percorso" in said, "%r: the route taken up again is said: %r" % (extra, said))
        reached = distance(points[0], fixes[-1][:2])

    with open(state, "w") as f:
        f.write("vadrel percorso 1\nimpronta=0\n")
    _, said = fixes_for(Vadrel(binary, folder=folder), 2)
    expect("il percorso tenuto per il mezzo 0 non si usa: " + state + " non è lo stato" in said,
           "a damaged state is said: %r" % said)
    with open(state) as f:
        expect(f.read() == "vadrel percorso 1\nimpronta=0\n", "a damaged state is left as it is")


def main():
    binary = sys.argv[1]
    files = tempfile.mkdtemp(prefix="vadrel-percorsi-")
    refused(binary, files)
    goes_on_after_a_restart(binary, files)
    stops_at_its_end(binary, files)
    across_the_date_line(binary, files)
    checks.finish()


if __name__ == "__main__":
    main()
