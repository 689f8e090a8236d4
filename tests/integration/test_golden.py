#!/usr/bin/python3
"""The bytes of the sentences, against golden files made by vadrel before its
vehicles became a model of their own (golden/*.nmea, from the tables
golden/*.cnf), on the fake clock of receiver_ticks: GPS standard, radio and
the loss of the fix byte for byte with every receiver option and fault;
multi-user byte for byte on the four cardinal courses. Off the cardinal
courses every multi-user vehicle now steps each second rather than once a
turn (3 seconds here): each second's longitude takes the cosine of the
latitude that second reaches, so a coordinate may differ, and nothing else
does. The difference grows with speed and time: at 1000 km/h, 3
ten-thousandths of a minute (about half a metre) after 90 seconds; the
check allows 10."""

import os
import subprocess
import sys

from vadrel_run import Checks, checksum_ok

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")
FAULTS = "perdita=0.05,checksum=0.05,tronca=0.05,seme=7"
# golden file, seconds, table, options; exact or to the last digit
CASES = [
    ("multi-cardinal.nmea", 90, "cardinal.cnf", ["--modo", "multi", "--mezzi", "5", "--moto-reale"], True),
    ("gps-all.nmea", 40, "oblique.cnf",
     ["--frasi", "complete", "--moto-reale", "--utc", "--quota", "254.5", "--guasti", FAULTS], True),
    ("radio.nmea", 20, "oblique.cnf", ["--modo", "radio"], True),
    ("radio-full.nmea", 20, "oblique.cnf", ["--modo", "radio", "--frasi", "complete", "--moto-reale"], True),
    ("no-fix.nmea", 20, "oblique.cnf", ["--senza-fix", "--frasi", "complete"], True),
    ("multi-oblique.nmea", 90, "oblique.cnf",
     ["--modo", "multi", "--mezzi", "3", "--frasi", "complete", "--moto-reale"], False),
]

checks = Checks()
expect = checks.expect


def coordinate(field):
    """Ten-thousandths of a minute of a ddmm.mmmm or dddmm.mmmm field."""
    degrees, minutes = field[:-7], field[-7:]
    return int(degrees) * 600000 + round(float(minutes) * 10000)


ALLOWED = 10  # ten-thousandths of a minute


def apart(got, want):
    """How far apart the coordinates of the same sentence are, in
    ten-thousandths of a minute; None when anything else differs."""
    if got == want:
        return 0
    if not checksum_ok(got) or not checksum_ok(want):
        return None
    a = got.rpartition("*")[0].split(",")
    b = want.rpartition("*")[0].split(",")
    if len(a) != len(b):
        return None
    most = 0
    for i, (x, y) in enumerate(zip(a, b)):
        if x == y:
            continue
        # a latitude or longitude field: before its letter
        if b[i + 1] not in ("N", "S", "E", "W") or len(x) != len(y) or not x.replace(".", "").isdigit():
            return None
        most = max(most, abs(coordinate(x) - coordinate(y)))
    return most


def main():
    ticks = sys.argv[1]
    for golden, seconds, table, options, exact in CASES:
        with open(os.path.join(GOLDEN, golden), "rb") as f:
            want = f.read()
        got = subprocess.run([ticks, str(seconds), "--tabella", os.path.join(GOLDEN, table), *options],
                             capture_output=True, check=True).stdout
        if exact:
            expect(got == want, "%s: the bytes differ" % golden)
            continue
        got_lines = got.decode("ascii").split("\r\n")
        want_lines = want.decode("ascii").split("\r\n")
        expect(len(got_lines) == len(want_lines), "%s: %d lines, not %d" % (golden, len(got_lines), len(want_lines)))
        differing = [(g, w) for g, w in zip(got_lines, want_lines) if g != w]
        most = 0
        for g, w in differing:
            distance = apart(g, w)
            expect(distance is not None and distance <= ALLOWED, "%s: %s is not %s" % (golden, g, w))
            most = max(most, distance or 0)
        print("%s: %d of %d sentences with coordinates apart, at most %d ten-thousandths of a minute"
              % (golden, len(differing), len(want_lines) - 1, most))
    checks.finish()


if __name__ == "__main__":
    main()
