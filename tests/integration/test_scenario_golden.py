#!/usr/bin/python3
"""A scenario with its start and seed, run as fast as the log takes the
seconds, gives the same bytes every run, the golden file's: the fix lost and
found, the turn, the spoofed drift and the week-rollover fault at their
seconds, across the leap second at the end of 2016."""

import os
import sys

from vadrel_run import Checks, logged_run

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")
SCENARIO = os.path.join(HERE, "scenario.yaml")
GOLDEN = os.path.join(HERE, "scenario.nmea")

checks = Checks()
expect = checks.expect


def run(binary):
    code, log = logged_run(binary, "vadrel-scenario-golden-", "--scenario", SCENARIO, "--velocita-tempo", "max")
    expect(code == 0, "the scenario ends the run by itself, code %r" % code)
    return log


def main(binary):
    first = run(binary)
    second = run(binary)
    expect(first == second, "two runs, the same bytes")
    with open(GOLDEN, "rb") as f:
        golden = f.read()
    if first != golden:
        got, want = first.decode("latin-1").splitlines(), golden.decode("latin-1").splitlines()
        diff = [(i + 1, g, w) for i, (g, w) in enumerate(zip(got, want)) if g != w][:3]
        expect(False, "the golden file's bytes: %d lines for %d, first differences %r" % (len(got), len(want), diff))
    rmc = [line.split(",") for line in first.decode("latin-1").splitlines() if line.startswith("$GPRMC")]
    times = [r[1] for r in rmc]
    expect("235960" in times, "the leap second is sent")
    expect(any(r[2] == "V" for r in rmc), "the fix is lost between its events")
    expect(rmc[-1][9] == "180597", "the rollover's date, 1024 weeks early: %r" % rmc[-1][9])
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
