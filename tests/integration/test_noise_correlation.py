#!/usr/bin/python3
"""The receiver's noise measured from the sentences of the real program: a
vehicle standing still, --rumore on, the error of each position sent from
the true one; two errors one simulated second apart correlate by e^-1
(0.368), whatever the fixes a second and whatever the rate of the clock:

- one fix a second ($GPRMC alone), at max, 3000 s recorded into a log;
- ten fixes a second (frequenza: 10, the full set), at max, 600 s: the
  pairs ten fixes apart;
- one fix a second at x10, live at a TCP client: a second every 0.1 s real
  (the seconds counted against the real time they took), and the noise
  walking on the simulated seconds, not the real ones (those would
  correlate by e^-0.1, 0.905).

The tolerance is four standard errors of the estimate, sqrt((1 - r²) / n)
for n pairs on each of the two axes."""

import math
import os
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vadrel_run import Checks, Vadrel, nmea_degrees  # noqa: E402

checks = Checks()
EXPECTED = math.exp(-1.0)


def scenario(folder, name, rate, duration, receiver, extra=""):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write("inizio: 2026-03-01T10:00:00Z\n"
                "seme: 11\n"
                "velocita_tempo: %s\n"
                "durata: %d\n"
                "modo: gps\n"
                "ricevitore: {%s}\n"
                "mezzi:\n"
                "  - {numero: 0, posizione: \"45 30 0 N 9 12 0 E\", rotta: 0, velocita: 0}\n%s"
                % (rate, duration, receiver, extra))
    return path


def fixes(text):
    """(lat, lon) of each fix in order: its $GPGGA with the full set, else its $GPRMC."""
    gga, rmc = [], []
    for line in text.splitlines():
        f = line.split("*")[0].split(",")
        if line.startswith("$GPGGA") and len(f) > 6 and f[6] != "0" and f[2] and f[4]:
            gga.append((nmea_degrees(f[2], f[3]), nmea_degrees(f[4], f[5])))
        elif line.startswith("$GPRMC") and len(f) > 6 and f[2] == "A" and f[3] and f[5]:
            rmc.append((nmea_degrees(f[3], f[4]), nmea_degrees(f[5], f[6])))
    return gga or rmc


def correlation(series, lag):
    n = len(series) - lag
    mean = sum(series) / len(series)
    centred = [x - mean for x in series]
    variance = sum(x * x for x in centred) / len(centred)
    return sum(centred[i] * centred[i + lag] for i in range(n)) / n / variance


def check_correlation(label, positions, lag):
    """Both axes, lag fixes apart: one simulated second."""
    if len(positions) < 100 * lag:
        checks.expect(False, "%s: too few fixes (%d)" % (label, len(positions)))
        return
    north = correlation([p[0] for p in positions], lag)
    east = correlation([p[1] for p in positions], lag)
    pairs = (len(positions) - lag) / lag  # independent-ish pairs a second apart
    tolerance = 4.0 * math.sqrt((1.0 - EXPECTED ** 2) / (2.0 * pairs))
    measured = (north + east) / 2.0
    checks.expect(abs(measured - EXPECTED) <= tolerance,
                  "%s: the errors a second apart correlate by %.3f (north %.3f, east %.3f), "
                  "e^-1 = %.3f within %.3f (%d fixes)" % (label, measured, north, east, EXPECTED, tolerance,
                                                          len(positions)))
    print("%s: correlazione a 1 s %.3f (nord %.3f, est %.3f), attesa %.3f +- %.3f, %d posizioni"
          % (label, measured, north, east, EXPECTED, tolerance, len(positions)))


def recorded(binary, folder, label, receiver, duration, lag):
    path = scenario(folder, label + ".yaml", "max", duration, receiver, "registra: %s.nmea\n" % label)
    vadrel = Vadrel(binary, "--scenario", path)
    code = vadrel.proc.wait(timeout=120)
    checks.expect(code == 0, "%s: the scenario ends in order (%d)" % (label, code))
    with open(os.path.join(folder, label + ".nmea"), encoding="ascii", errors="replace") as f:
        check_correlation(label, fixes(f.read()), lag)


def live_x10(binary, folder, seconds=30):
    path = scenario(folder, "x10.yaml", "10", 100000, "rumore: 10", "uscite: {tcp: \"127.0.0.1:0\"}\n")
    vadrel = Vadrel(binary, "--scenario", path)
    try:
        client = socket.create_connection(("127.0.0.1", vadrel.tcp_port()), timeout=10)
        data = b""
        arrivals = []
        started = time.monotonic()
        while time.monotonic() - started < seconds:
            chunk = client.recv(65536)
            if not chunk:
                break
            arrivals.extend([time.monotonic()] * chunk.count(b"$GPRMC"))
            data += chunk
        client.close()
    finally:
        vadrel.stop()
    positions = fixes(data.decode("ascii", "replace"))
    if len(arrivals) > 20:
        took = arrivals[-1] - arrivals[0]
        per_second = (len(arrivals) - 1) / took
        gaps = sorted(b - a for a, b in zip(arrivals, arrivals[1:]))
        median = gaps[len(gaps) // 2]
        checks.expect(9.0 <= per_second <= 11.0 and 0.08 <= median <= 0.12,
                      "x10: %.2f simulated seconds a real second, the median gap %.3f s" % (per_second, median))
        print("x10: %.2f secondi simulati al secondo reale, intervallo mediano %.3f s, il piu lungo %.3f s"
              % (per_second, median, gaps[-1]))
    check_correlation("x10 dal vivo", positions, 1)


def main():
    binary = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="vadrel-noise-")
    recorded(binary, folder, "1hz", "rumore: 10", 3000, 1)
    recorded(binary, folder, "10hz", "rumore: 10, frasi: complete, frequenza: 10", 600, 10)
    live_x10(binary, folder)
    checks.finish()


if __name__ == "__main__":
    main()
