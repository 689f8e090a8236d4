#!/usr/bin/python3
"""gpsd, a real NMEA client, reads the real program under the sky where
tests/integration/test_sky.py does not: at 10 Hz with the GN talker and
every sentence, ten 3D fixes a second at the vehicle's speed and course;
hiding all but three satellites gives a 2D fix, a mask of 89 degrees none;
a receiver's log of 2003 replayed with --ora-attuale is reported at the
present.

    test_gpsd_sky.py VADREL"""

import calendar
import itertools
import math
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from vadrel_run import Checks, Vadrel, folder_with_vehicle, gpsd_reports_over, nmea  # noqa: E402

# Vehicle 0 leaves 45°27'N 9°11'E on course 045 at 20 knots; its antenna at 120 m.
VEHICLE = '45,27,"N",,9,11,"E",20,45,#FALSE#,#TRUE#'
SKY = ("--frasi", "complete", "--satelliti", "--utc", "--moto-reale", "--quota", "120")


def arc(a, b):
    """Degrees between two azimuths."""
    return abs((a - b + 180) % 360 - 180)


def hdop_2d(satellites):
    """The horizontal dilution of a 2D fix (east, north and the clock) from
    three (elevation, azimuth) pairs; infinite for a geometry with none."""
    rows = [(math.cos(math.radians(el)) * math.sin(math.radians(az)),
             math.cos(math.radians(el)) * math.cos(math.radians(az)), 1.0) for el, az, *_ in satellites]
    (a, b, c), (d, e, f), (g, h, i) = rows
    det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g)
    if abs(det) < 1e-9:
        return math.inf
    # With as many satellites as unknowns, (H^T H)^-1 = H^-1 H^-T: the sum
    # of squares of the first two rows of H^-1.
    inverse_rows = [((e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det),
                    ((f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det)]
    return math.sqrt(sum(x * x for row in inverse_rows for x in row))


def last_view(lines):
    """{prn: (el, az, ss or None)} of the last whole $GPGSV group the monitor showed."""
    view, last = {}, {}
    for line in lines:
        f = line.split("*")[0].split(",")
        if f[0] != "$GPGSV" or len(f) < 4:
            continue
        if f[2] == "1":
            view = {}
        for i in range(4, len(f) - 3, 4):
            view[int(f[i])] = (int(f[i + 1]), int(f[i + 2]), int(f[i + 3]) if f[i + 3] else None)
        if f[1] == f[2]:
            last = view
    return last


def run(binary, seconds, *options):
    """The real program on a virtual port read by gpsd: gpsd's TPV reports
    over `seconds` once it reports anything, and the lines of the monitor."""
    vadrel = Vadrel(binary, *options, folder=folder_with_vehicle(VEHICLE))
    lines = []

    def read():
        try:
            for line in vadrel.proc.stdout:
                lines.append(line.strip())
        except (OSError, ValueError):
            pass  # closed by stop()

    threading.Thread(target=read, daemon=True).start()
    try:
        reports = gpsd_reports_over(vadrel.device, seconds, ("TPV",))
    finally:
        code = vadrel.stop()
    return code, reports, lines


def stamp(report):
    t = report["time"]
    return calendar.timegm(time.strptime(t[:19], "%Y-%m-%dT%H:%M:%S")) + float("0" + t[19:-1])


def main():
    binary = sys.argv[1]
    checks = Checks()

    # 10 Hz, GN, every sentence: ten 3D fixes a second at 20 knots on 045
    code, tpv, lines = run(binary, 4, *SKY, "--frequenza", "10", "--talker", "GN",
                           "--elenco-frasi", "RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT")
    checks.expect(code == 0, "vadrel exit code %d" % code)
    checks.expect(any(line.startswith("$GNRMC") for line in lines), "the GN talker sent")
    tpv = [r for r in tpv if "time" in r]
    per_second = {}
    for t in sorted({stamp(r) for r in tpv}):
        per_second.setdefault(int(t), []).append(round(t - int(t), 2))
    whole = [s for s in per_second.values() if s == [k / 10 for k in range(10)]]
    checks.expect(len(whole) >= 2, "ten fixes a second, 0.1 s apart: %s" % per_second)
    checks.expect(tpv and all(r.get("mode") == 3 for r in tpv[2:]), "10 Hz fixes 3D")
    knots20 = 20 * 1852 / 3600
    checks.expect(all(abs(r["speed"] - knots20) < 0.005 * knots20 for r in tpv if "speed" in r),
                  "speed 20 knots at 10 Hz")
    checks.expect(all(abs(r.get("track", 0) - 45) < 0.2 for r in tpv if "track" in r), "course 045 at 10 Hz")

    # All but the three satellites of the best 2D geometry hidden, each
    # behind a sector of its own azimuth up to the zenith (three that stand
    # close give no fix at all, as a receiver's would). Between the kept
    # three the sky is hidden whole, 3 degrees short of each (the satellites
    # move a little before the next run), so the three are chosen with no
    # other satellite that close.
    view = last_view(lines)

    def apart(three):
        return all(arc(view[k][1], view[p][1]) > 6 for k in three for p in view if p != k)

    kept = min((three for three in itertools.combinations(view, 3) if apart(three)),
               key=lambda three: hdop_2d([view[p] for p in three]))
    azimuths = sorted(view[p][1] for p in kept)
    hide = [option for a, b in zip(azimuths, azimuths[1:] + azimuths[:1])
            for option in ("--ostacolo", "%d-%d:90" % ((a + 3) % 360, (b - 3) % 360))]
    for name, mode, options in (("2D", 2, hide), ("no fix", 1, ["--maschera", "89"])):
        code, tpv, _ = run(binary, 4, *SKY, *options)
        modes = [r.get("mode") for r in tpv[2:]]
        checks.expect(code == 0 and modes and all(m == mode for m in modes), "%s: TPV modes %s" % (name, modes))

    # A receiver's log of 2003, replayed at the present
    log = os.path.join(tempfile.mkdtemp(prefix="vadrel-log-"), "2003.nmea")
    with open(log, "w", newline="") as f:
        for s in range(20):
            f.write(nmea("GPRMC,2015%02d,A,4527.6000,N,00911.4000,E,0.0,000.0,090503,000.0,W" % (28 + s)))
    code, tpv, _ = run(binary, 3, "--riproduci", log, "--ora-attuale")
    tpv = [r for r in tpv if "time" in r]
    checks.expect(tpv and all(abs(stamp(r) - time.time()) < 10 for r in tpv),
                  "the log of 2003 at the present: %s" % [r["time"] for r in tpv])
    checks.finish()


if __name__ == "__main__":
    main()
