#!/usr/bin/python3
"""19 vehicles moving, each on its own stream port, each port read by a gpsd
of its own (gpsd -N -n -S PORT tcp://127.0.0.1:BASE+k): every gpsd must
report its own vehicle's position every second. Not part of ctest (19
daemons for a minute); run by hand:

    tests/integration/check_streams_gpsd19.py build/src/app/vadrel [seconds]

Prints, per vehicle, the reports seen, the largest gap between them and the
largest distance from where vadrel's control interface says the vehicle
was; ends with 1 if any gpsd missed a second or reported another vehicle."""

import json
import os
import sys
import tempfile
import time
import urllib.request

from vadrel_run import GpsdWatch, Vadrel, free_base

EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'
MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
VEHICLES = 19


def main():
    binary = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    folder = tempfile.mkdtemp(prefix="vadrel-gpsd19-")
    # vehicle k at 40 + k/10 degrees north, heading east at 20 + k km/h
    lines = [b'%d,%d,"N",,10,0,"E",%d,90,#TRUE#,#FALSE#' % (40 + k // 10, 6 * (k % 10), 20 + k) for k in range(VEHICLES)]
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n" + EMPTY * (21 - VEHICLES) + MARKER)
    base = free_base()
    vadrel = Vadrel(binary, "--mezzi", str(VEHICLES), "--tcp-mezzi", str(base), "--controllo", "127.0.0.1:0",
                    folder=folder)
    failed = False
    try:
        url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
        vadrel.said(r"mezzo %d: TCP in ascolto" % (VEHICLES - 1))
        deadline = time.monotonic() + seconds + 30
        watches = [GpsdWatch("tcp://127.0.0.1:%d" % (base + k), deadline) for k in range(VEHICLES)]
        try:
            reports = {k: [] for k in range(VEHICLES)}
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                for k, watch in enumerate(watches):
                    got = watch.next_report(min(end, time.monotonic() + 0.05))
                    while got is not None:
                        if got[1].get("class") == "TPV" and "lat" in got[1]:
                            reports[k].append((got[0], got[1]["lat"], got[1]["lon"]))
                        got = watch.next_report(time.monotonic()) if b"\n" in watch.buffer else None
            state = {}
            for k in range(VEHICLES):
                with urllib.request.urlopen("%s/api/v1/mezzi/%d" % (url, k), timeout=5) as answer:
                    state[k] = json.load(answer)
        finally:
            for watch in watches:
                watch.close()
        for k in range(VEHICLES):
            seen = reports[k][2:]  # gpsd settles over its first reports
            gaps = [b[0] - a[0] for a, b in zip(seen, seen[1:])]
            # each report within 0.01 degree of its vehicle's latitude (the others are 0.1 apart)
            own = all(abs(lat - (40 + 0.1 * k)) < 0.01 for _, lat, _ in seen)
            last_lon_error = abs(seen[-1][2] - state[k]["lon"]) if seen else float("inf")
            ok = own and len(seen) >= seconds - 4 and (max(gaps) if gaps else 9) < 1.6 and last_lon_error < 0.01
            failed = failed or not ok
            print("vehicle %2d port %d: %3d reports, largest gap %.2f s, own position %s, last lon %.5f "
                  "(vadrel now %.5f) %s" % (k, base + k, len(seen), max(gaps) if gaps else 0, own,
                                             seen[-1][2] if seen else 0, state[k]["lon"], "ok" if ok else "FAILED"))
    finally:
        vadrel.stop()
    print("FAILED" if failed else "all %d gpsd reported their own vehicle every second" % VEHICLES)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
