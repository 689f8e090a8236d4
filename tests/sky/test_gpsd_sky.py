#!/usr/bin/python3
"""gpsd, a real NMEA client, reads the full set under the sky from a
pseudo-terminal, written fix by fix in real time by this script from what
sky_feed prints: gpsd's SKY reports show the satellites in view with their
elevation, azimuth and signal, the ones used and the dilutions, exactly as
sent; at 10 Hz it reports ten fixes a second, 0.1 s apart; hiding all but
three satellites gives a 2D fix, a mask of 89 degrees none; the GN talker is
read; a log of 2003 moved to the present is reported at the present."""

import calendar
import itertools
import json
import math
import os
import select
import subprocess
import sys
import threading
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from vadrel_run import Checks, GpsdWatch  # noqa: E402


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


def fixes_of(text):
    """The fixes sky_feed printed: each a list of sentences."""
    return [block.split("\n") for block in text.strip("\n").split("\n\n")]


def feed(binary, start_ms, count, rate, *options):
    out = subprocess.run([binary, str(start_ms), str(count), str(rate), *options],
                         capture_output=True, text=True, check=True).stdout
    return fixes_of(out)


def fields(sentence):
    return sentence.split("*")[0].split(",")


def sky_of(fix):
    """What a fix's sentences tell of the sky: {prn: (el, az, ss or None)},
    the PRNs used, and the GSA's mode and dilutions."""
    view, used, gsa = {}, set(), None
    for s in fix:
        f = fields(s)
        if f[0].endswith("GSV"):
            for i in range(4, len(f) - 3, 4):
                view[int(f[i])] = (int(f[i + 1]), int(f[i + 2]), int(f[i + 3]) if f[i + 3] else None)
        elif f[0].endswith("GSA"):
            used = {int(p) for p in f[3:15] if p}
            gsa = f
    return view, used, gsa


class Port:
    """A pseudo-terminal in raw mode; whatever gpsd writes into it (its
    probes) is read and dropped."""

    def __init__(self):
        self.master, slave = os.openpty()
        tty.setraw(slave)
        self.device = os.ttyname(slave)
        self.slave = slave
        self.open = True
        threading.Thread(target=self.drain, daemon=True).start()

    def drain(self):
        while self.open:
            ready, _, _ = select.select([self.master], [], [], 0.2)
            if ready:
                try:
                    os.read(self.master, 4096)
                except OSError:
                    return

    def write(self, fix):
        os.write(self.master, ("\r\n".join(fix) + "\r\n").encode())

    def close(self):
        self.open = False
        os.close(self.slave)
        os.close(self.master)


def play(port, fixes, rate, start_ms):
    """Writes each fix at its time (start_ms + k / rate on the wall clock)."""
    for k, fix in enumerate(fixes):
        due = (start_ms + k * 1000 // rate) / 1000.0
        time.sleep(max(0.0, due - time.time()))
        port.write(fix)


def main():
    binary = sys.argv[1]
    checks = Checks()
    port = Port()
    reports = []
    deadline = time.monotonic() + 150
    watch = GpsdWatch(port.device, deadline)
    done = threading.Event()

    def listen():
        while not done.is_set():
            got = watch.next_report(time.monotonic() + 0.5)
            if got:
                reports.append(got)

    listener = threading.Thread(target=listen, daemon=True)
    listener.start()
    segments = {}
    try:
        def segment(name, seconds, rate, *options):
            start = (int(time.time()) + 1) * 1000
            fixes = feed(binary, start, seconds * rate, rate, *options)
            began = time.monotonic()
            play(port, fixes, rate, start)
            segments[name] = (began, time.monotonic() + 0.5, start, fixes)
            time.sleep(0.5)
            return fixes

        # gpsd waits a few seconds on a pseudo-terminal before it reads
        segment("warm-up", 8, 1)
        open_sky = segment("open sky", 8, 1)
        segment("10 Hz, GN", 4, 10, "talker=GN", "frasi=RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT")
        # all but the three satellites of the best 2D geometry hidden, each
        # behind a sector of its own azimuth up to the zenith (three that
        # stand close give no fix at all, as a receiver's would)
        # Between the kept three the sky is hidden whole, 3 degrees short of
        # each (the satellites move a little before the segment plays), so
        # the three are chosen with no other satellite that close.
        view, _, _ = sky_of(open_sky[-1])

        def apart(three):
            return all(arc(view[k][1], view[p][1]) > 6 for k in three for p in view if p != k)

        kept = min((three for three in itertools.combinations(view, 3) if apart(three)),
                   key=lambda three: hdop_2d([view[p] for p in three]))
        azimuths = sorted(view[p][1] for p in kept)
        hide = ["ostacolo=%d-%d:90" % ((a + 3) % 360, (b - 3) % 360)
                for a, b in zip(azimuths, azimuths[1:] + azimuths[:1])]
        segment("2D", 5, 1, *hide)
        segment("no fix", 4, 1, "maschera=89")
        # a log of 2003, moved to now
        old = subprocess.run([binary, "1052511328000", "5", "1"], capture_output=True, text=True,
                             check=True).stdout
        start = (int(time.time()) + 1) * 1000
        moved = fixes_of(subprocess.run([binary, "sposta", str(start)], input=old, capture_output=True,
                                        text=True, check=True).stdout)
        began = time.monotonic()
        play(port, moved, 1, start)
        segments["moved"] = (began, time.monotonic() + 0.5, start, moved)
        time.sleep(1.0)
    finally:
        done.set()
        listener.join(timeout=2)
        watch.close()
        port.close()

    def during(name, cls):
        began, ended, _, _ = segments[name]
        return [r for arrival, r in reports if began <= arrival <= ended and r.get("class") == cls]

    # SKY: each one the satellites, signals, used flags and dilutions of a
    # fix that was sent
    sent = [sky_of(f) for f in segments["open sky"][3]]
    skies = [r for r in during("open sky", "SKY") if r.get("satellites")]
    checks.expect(len(skies) >= 5, "gpsd reported the sky %d times in 8 s" % len(skies))
    for r in skies:
        got = {s["PRN"]: (s["el"], s["az"], s["ss"] or None) for s in r["satellites"]}
        got_used = {s["PRN"] for s in r["satellites"] if s["used"]}
        match = [(v, u, g) for v, u, g in sent if v == got and u == got_used]
        checks.expect(match, "SKY satellites as sent: %s" % json.dumps(r))
        if match:
            gsa = match[0][2]
            for key, field in (("pdop", 15), ("hdop", 16), ("vdop", 17)):
                checks.expect(abs(r.get(key, -1) - float(gsa[field])) < 1e-6,
                              "SKY %s %s, sent %s" % (key, r.get(key), gsa[field]))
    print("gpsd SKY:", json.dumps(skies[-1]) if skies else None)

    # TPV at 10 Hz: one a tenth of a second, 3D
    tpv = [r for r in during("10 Hz, GN", "TPV") if "time" in r]
    times = sorted({r["time"] for r in tpv})
    checks.expect(len(times) >= 30, "gpsd reported %d fixes in 4 s at 10 Hz: %s" % (len(times), times))
    stamps = [calendar.timegm(time.strptime(t[:19], "%Y-%m-%dT%H:%M:%S")) + float("0" + t[19:-1]) for t in times]
    gaps = {round(b - a, 3) for a, b in zip(stamps, stamps[1:])}
    checks.expect(gaps == {0.1}, "10 Hz fixes 0.1 s apart: gaps %s" % gaps)
    checks.expect(all(r.get("mode") == 3 for r in tpv), "10 Hz fixes 3D")
    knots20 = 20 * 1852 / 3600
    checks.expect(all(abs(r["speed"] - knots20) < 0.005 * knots20 for r in tpv if "speed" in r),
                  "speed 20 knots at 10 Hz")
    checks.expect(all(abs(r.get("track", 0) - 45) < 0.2 for r in tpv if "track" in r), "course 045 at 10 Hz")

    # 2D, no fix
    for name, mode in (("2D", 2), ("no fix", 1)):
        modes = [r.get("mode") for r in during(name, "TPV")[2:]]
        checks.expect(modes and all(m == mode for m in modes), "%s: TPV modes %s" % (name, modes))
        print("gpsd TPV %s:" % name, json.dumps(during(name, "TPV")[-1:]))

    # the old log at the present
    tpv = [r for r in during("moved", "TPV") if "time" in r]
    checks.expect(tpv, "gpsd reported the moved log")
    if tpv:
        when = calendar.timegm(time.strptime(tpv[-1]["time"][:19], "%Y-%m-%dT%H:%M:%S"))
        checks.expect(abs(when - time.time()) < 10, "the moved log at the present: %s" % tpv[-1]["time"])
        print("gpsd TPV moved:", json.dumps(tpv[-1]))
    checks.finish()


if __name__ == "__main__":
    main()
