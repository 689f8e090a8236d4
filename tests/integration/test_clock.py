#!/usr/bin/python3
"""The simulated clock on the real program: a run as fast as the log takes
the seconds, from a fixed start across the leap second at the end of 2016,
against its golden file (23:59:60 with the old date, then the new day), and
not one second missing from the whole log however many the run made."""

import os
import sys

from vadrel_run import Checks, logged_run

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden", "leap-second.nmea")

checks = Checks()
expect = checks.expect


def main(binary):
    code, log = logged_run(binary, "vadrel-clock-", "--inizio", "2016-12-31T23:59:58Z", "--velocita-tempo", "max",
                           "--frasi", "complete", "--utc", "--elenco-frasi", "RMC,GGA,ZDA", "--durata", "1", timeout=30)
    expect(code == 0, "the run ends by itself, code %r" % code)
    lines = log.decode("latin-1").splitlines()
    with open(GOLDEN, "rb") as f:
        golden = f.read().decode("latin-1").splitlines()
    got = lines[:len(golden)]
    expect(got == golden, "the first seconds as the golden file has them: %r" % got[:16])
    # Every second once, in order: the RMC times count on through 235960.
    times = [line.split(",")[1] for line in lines if line.startswith("$GPRMC")]
    expect(len(times) > 100, "at max many seconds in a real second: %d" % len(times))
    expect(times[:4] == ["235958", "235959", "235960", "000000"], "the leap second in its place: %r" % times[:4])
    seconds = []
    for t in times[3:]:
        seconds.append(int(t[:2]) * 3600 + int(t[2:4]) * 60 + int(t[4:6]))
    gaps = [(a, b) for a, b in zip(seconds, seconds[1:]) if b != (a + 1) % 86400]
    expect(not gaps, "no second dropped or repeated after it: %r" % gaps[:3])
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
