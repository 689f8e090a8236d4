#!/usr/bin/python3
"""The seconds beside a large route given by PUT: a reader of the TCP server
times each $GPRMC's arrival after the wall-clock second, for some seconds
with no upload, then while each body is sent, read, given and kept (a CSV of
10^6 rows, 19 MB; a JSON of 560,000 points, 16.7 MB; a GPX of 420,000
rtept, 17 MB), side by side in one run.

    bench/route_upload.py build/src/app/vadrel

Prints, for each phase, the seconds seen and missed and the arrival after
the second (median and max, ms), how long each PUT took and how long its
keeping went on after the answer."""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
from vadrel_client import Vadrel as Client  # noqa: E402
from vadrel_run import Vadrel  # noqa: E402
from test_route_load import Seconds, missed  # noqa: E402


def bodies():
    csv = ("lat,lon\n" + "".join("%.6f,%.6f\n" % (44.0 + (0.0002 if i % 2 else 0.0), 9.0 + 0.000001 * i)
                                 for i in range(999_999))).encode()
    json = ("[" + ",".join('{"lat":%.6f,"lon":%.6f}' % (44.0 + (0.0002 if i % 2 else 0.0), 9.0 + 0.00001 * i)
                           for i in range(560_000)) + "]").encode()
    gpx = ("<gpx>\n<rte>\n" + "".join('<rtept lat="%.7f" lon="%.7f"></rtept>\n' % (44.0, 9.0 + 0.00001 * i)
                                      for i in range(420_000)) + "</rte></gpx>\n").encode()
    return (("CSV 10^6 rows", csv, "text/csv"), ("JSON 560,000 points", json, "application/json"),
            ("GPX 420,000 rtept", gpx, "application/gpx+xml"))


def report(name, arrivals, extra=""):
    late = [(now % 1.0) * 1000 for now, _ in arrivals]
    print("%-22s %3d seconds, %d missed, after the second: median %5.1f ms, max %6.1f ms %s"
          % (name, len(arrivals), missed(arrivals), statistics.median(late) if late else 0, max(late, default=0), extra))


def main(binary):
    given = bodies()
    vadrel = Vadrel(binary, "--tcp", "0", "--controllo", "127.0.0.1:0")
    try:
        port = vadrel.tcp_port()
        url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
        client = Client(url, timeout=120)
        seconds = Seconds(port)
        time.sleep(8)
        now = time.time()
        report("no upload", seconds.between(now - 7, now))
        for name, body, kind in given:
            start = time.time()
            client.set_route(0, body, kind)
            end = time.time()
            while "in corso" in client.route(0, count=1).get("perche_non_tenuto", ""):
                time.sleep(0.05)
            kept = time.time()
            time.sleep(1.5)
            report(name, seconds.between(start, kept + 1), "(PUT %.2f s, kept %.2f s later, %.1f MB)"
                   % (end - start, kept - end, len(body) / 1e6))
    finally:
        vadrel.stop()


if __name__ == "__main__":
    main(sys.argv[1])
