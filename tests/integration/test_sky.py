#!/usr/bin/python3
"""The real program under a sky on a virtual port, read by gpsd: the
satellites seen and used, the dilutions and the fix mode gpsd reports are
those vadrel sent (its monitor shows them); at --frequenza 5 gpsd reports
five fixes a second, 0.2 s apart; with every satellite hidden, no fix."""

import datetime
import json
import sys
import threading

from vadrel_run import Checks, Vadrel, gpsd_reports_over


def fields(sentence):
    return sentence.split("*")[0].split(",")


class Monitor:
    """vadrel's standard output (its monitor), read as it comes."""

    def __init__(self, vadrel):
        self.lines = []
        self.thread = threading.Thread(target=self.read, args=(vadrel.proc.stdout,), daemon=True)
        self.thread.start()

    def read(self, stream):
        for line in stream:
            self.lines.append(line.strip())

    def fixes(self):
        """Each fix sent: its satellites in view {prn: (el, az, ss)}, the PRNs used, its GSA fields."""
        fixes, view, used = [], {}, set()
        for line in list(self.lines):
            f = fields(line)
            if f[0] == "$GPGSA":
                used, gsa = {int(p) for p in f[3:15] if p}, f
            elif f[0] == "$GPGSV":
                if f[2] == "1":
                    view = {}
                for i in range(4, len(f) - 3, 4):
                    view[int(f[i])] = (int(f[i + 1]), int(f[i + 2]), int(f[i + 3]) if f[i + 3] else None)
                if f[1] == f[2]:
                    fixes.append((view, used, gsa))
        return fixes


def main():
    binary = sys.argv[1]
    checks = Checks()

    vadrel = Vadrel(binary, "--frasi", "complete", "--satelliti", "--utc", "--frequenza", "5")
    monitor = Monitor(vadrel)
    try:
        reports = gpsd_reports_over(vadrel.device, 4)
    finally:
        code = vadrel.stop()
    checks.expect(code == 0, "vadrel exit code %d" % code)
    sent = monitor.fixes()
    skies = [r for r in reports if r["class"] == "SKY" and r.get("satellites")]
    checks.expect(len(skies) >= 3, "gpsd reported the sky %d times" % len(skies))
    for r in skies:
        got = {s["PRN"]: (s["el"], s["az"], s["ss"] or None) for s in r["satellites"]}
        got_used = {s["PRN"] for s in r["satellites"] if s["used"]}
        match = [gsa for view, used, gsa in sent if view == got and used == got_used]
        checks.expect(match and len(got_used) >= 4, "SKY satellites seen and used as sent: %s" % json.dumps(r))
        if match:
            for key, field in (("pdop", 15), ("hdop", 16), ("vdop", 17)):
                checks.expect(abs(r.get(key, -1) - float(match[0][field])) < 1e-6,
                              "SKY %s %s, sent %s" % (key, r.get(key), match[0][field]))
    print("gpsd SKY:", json.dumps(skies[-1]) if skies else None)

    tpv = [r for r in reports if r["class"] == "TPV" and "time" in r]
    # (gpsd's first report may come from the $GPRMC alone, before a $GPGGA)
    checks.expect(len(tpv) > 5 and all(r.get("mode") == 3 for r in tpv[1:]),
                  "3D fixes: %s" % [r.get("mode") for r in tpv])
    stamps = sorted({datetime.datetime.fromisoformat(r["time"].replace("Z", "+00:00")).timestamp() for r in tpv})
    per_second = {}
    for t in stamps:
        per_second.setdefault(int(t), []).append(round(t - int(t), 2))
    whole = [s for s in per_second.values() if s == [0.0, 0.2, 0.4, 0.6, 0.8]]
    checks.expect(len(whole) >= 2, "five fixes a second, 0.2 s apart: %s" % per_second)

    # every satellite hidden: still in view, none used, no fix
    vadrel = Vadrel(binary, "--frasi", "complete", "--satelliti", "--utc", "--ostacolo", "0-360:90")
    try:
        reports = gpsd_reports_over(vadrel.device, 2)
    finally:
        code = vadrel.stop()
    checks.expect(code == 0, "vadrel exit code %d" % code)
    tpv = [r for r in reports if r["class"] == "TPV"]
    skies = [r for r in reports if r["class"] == "SKY" and r.get("satellites")]
    checks.expect(tpv and all(r.get("mode") == 1 for r in tpv), "no fix: %s" % [r.get("mode") for r in tpv])
    checks.expect(skies and all(not any(s["used"] for s in r["satellites"]) for r in skies),
                  "in view, none used: %s" % (json.dumps(skies[-1]) if skies else None))
    checks.finish()


if __name__ == "__main__":
    main()
