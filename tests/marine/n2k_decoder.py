#!/usr/bin/python3
"""vadrel's NMEA 2000 messages read by canboat's own decoder (canboatjs):
every line of n2k_samples must decode to its PGN, and each field named in
its "expect" must read as expected: numbers to the field's resolution (and
a hair more), texts exactly, null as missing. Skips (77) when node or the
package is missing.

Usage: n2k_decoder.py N2K_SAMPLES NODE"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from vadrel_run import Checks, canboat  # noqa: E402

# The largest step of a field that rounds: 1e-4 rad, 0.01 m/s, 1 mm, ...
TOLERANCE = {"cog": 6e-5, "heading": 6e-5, "windAngle": 6e-5, "deviation": 6e-5, "variation": 6e-5,
             "latitude": 6e-8, "longitude": 6e-8}
DEFAULT_TOLERANCE = 0.0051


def matches(field, got, want):
    if want is None:
        return got is None
    if isinstance(want, str):
        return isinstance(got, str) and got.strip() == want
    return isinstance(got, (int, float)) and abs(got - want) <= TOLERANCE.get(field, DEFAULT_TOLERANCE)


def main():
    samples_binary, node = sys.argv[1], sys.argv[2]
    samples = [json.loads(line) for line in
               subprocess.run([samples_binary], capture_output=True, text=True, check=True).stdout.splitlines()]
    decoded = canboat([s["line"] for s in samples], node)
    if decoded is None:
        print("SKIP: node or @canboat/canboatjs is missing (scripts/install-deps.sh --test)")
        sys.exit(77)
    checks = Checks()
    checks.expect(len(decoded) == len(samples), "one result for each line: %d of %d" % (len(decoded), len(samples)))
    for sample, result in zip(samples, decoded):
        name, message = sample["name"], result.get("message")
        checks.expect(message is not None, "%s: canboatjs reads %s (%s)" % (name, sample["line"], result))
        if message is None:
            continue
        pgn = int(sample["line"].split(",")[2])
        checks.expect(message.get("pgn") == pgn, "%s: PGN %s, read %s" % (name, pgn, message.get("pgn")))
        fields = message.get("fields", {})
        for field, want in sample["expect"].items():
            checks.expect(matches(field, fields.get(field), want),
                          "%s: %s is %r, expected %r (%s)" % (name, field, fields.get(field), want, sample["line"]))
    checks.finish()


if __name__ == "__main__":
    main()
