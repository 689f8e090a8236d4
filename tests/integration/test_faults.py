#!/usr/bin/python3
"""Injected faults as pynmea2 sees them.

1000 seconds of the panel on a fake clock (receiver_ticks): the lost seconds,
the sentences with a wrong checksum and those cut short come in the shares
asked for, within binomial bounds; the same seed gives the same bytes, another
seed others. Then a few real seconds of the real program on its virtual
port: each fault the client sees is marked so on the monitor."""

import math
import re
import subprocess
import sys

import pynmea2

from vadrel_run import Checks, Vadrel, read_port, sentences_of

SECONDS = 1000
SET = 5  # sentences a second with the full set
RATES = {"perdita": 0.1, "checksum": 0.05, "tronca": 0.05}

checks = Checks()
expect = checks.expect


def kind(sentence):
    """What pynmea2 makes of a sentence: ok, checksum or cut."""
    try:
        pynmea2.parse(sentence, check=True)
        return "ok"
    except pynmea2.ChecksumError as e:
        return "checksum" if "does not match" in str(e) else "cut"
    except pynmea2.ParseError:
        return "cut"


def within(count, trials, rate, name):
    """count within four standard deviations of trials * rate."""
    mean = trials * rate
    spread = 4 * math.sqrt(trials * rate * (1 - rate))
    expect(abs(count - mean) <= spread, "%s: %d of %d, not %.0f +- %.0f" % (name, count, trials, mean, spread))
    print("%s: %d of %d (expected %.0f +- %.0f)" % (name, count, trials, mean, spread))


def fake_clock_run(ticks, seed):
    guasti = ",".join("%s=%s" % item for item in RATES.items()) + ",seme=%d" % seed
    return subprocess.run([ticks, str(SECONDS), "--frasi", "complete", "--guasti", guasti],
                          capture_output=True, check=True).stdout


def check_counts(ticks):
    data = fake_clock_run(ticks, 2026)
    expect(data == fake_clock_run(ticks, 2026), "the same seed gave other bytes")
    expect(data != fake_clock_run(ticks, 2027), "another seed gave the same bytes")
    lines = [line.decode("ascii") for line in data.split(b"\r\n")[:-1]]
    expect(len(lines) % SET == 0, "%d lines: a cut sentence lost its line end" % len(lines))
    sent = len(lines) // SET
    within(SECONDS - sent, SECONDS, RATES["perdita"], "seconds lost")
    kinds = [kind(line) for line in lines]
    within(kinds.count("checksum"), len(lines), RATES["checksum"], "wrong checksums")
    within(kinds.count("cut"), len(lines), RATES["tronca"], "sentences cut")


def check_real_client(binary):
    vadrel = Vadrel(binary, "--frasi", "complete", "--guasti", "perdita=0.2,checksum=0.2,tronca=0.2,seme=5")
    try:
        seen = sentences_of(read_port(vadrel.device, 5.5))
        vadrel.proc.terminate()
        vadrel.proc.wait(timeout=15)
        monitor = vadrel.proc.stdout.read().splitlines()
    finally:
        vadrel.stop()
    marks = {"  [guasto: checksum errato]": "checksum", "  [guasto: frase troncata]": "cut"}
    shown = {}
    lost = set()
    for line in monitor:
        found = re.match(r"\[guasto: secondo (\d{6}) non inviato\]$", line)
        if found:
            lost.add(found.group(1))
            continue
        mark = next((m for m in marks if line.endswith(m)), "")
        shown[line[:len(line) - len(mark)]] = marks.get(mark, "ok")
    counts = {"ok": 0, "checksum": 0, "cut": 0}
    for sentence in seen:
        found = kind(sentence)
        counts[found] += 1
        expect(shown.get(sentence) == found, "the client sees %s as %s, the monitor as %s"
               % (sentence, found, shown.get(sentence)))
        if found == "ok" and sentence[3:6] in ("RMC", "GGA", "ZDA"):
            expect(sentence.split(",")[1][:6] not in lost, "%s was sent in a second marked lost" % sentence)
    print("real client: %d sentences %s, %d seconds marked lost" % (len(seen), counts, len(lost)))
    expect(counts["checksum"] and counts["cut"], "the real client saw no fault of some kind: %s" % counts)


def main():
    binary, ticks = sys.argv[1], sys.argv[2]
    check_counts(ticks)
    check_real_client(binary)
    checks.finish()


if __name__ == "__main__":
    main()
