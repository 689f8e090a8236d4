#!/usr/bin/python3
"""A 16 MiB fleet file (100,000 devices, each in a zone) PUT to the running
program while a TCP client takes the seconds' sentences: the longest gap
between two seconds' $GPRMC at the client from just before the PUT to two
seconds after its answer, the PUT's time to its answer, and the answer.
The fleet reports over osmand: to a port where nobody listens, so the
bench measures the reading, not a server.

    bench/fleet_put.py build/src/app/vadrel [rounds]
"""

import os
import socket
import sys
import threading
import time
import urllib.error
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
from vadrel_run import Vadrel, free_port  # noqa: E402

LIMIT = 16 * 1024 * 1024
DEVICES = 100000


def fleet_body(devices=DEVICES, limit=LIMIT):
    """Rows as long as the limit lets 100,000 of them be: long ids, all the
    decimals, a zone each."""
    header = b"id;lat;lon;rotta;velocita_kmh;zona\n"
    width = (limit - len(header)) // devices - 1
    rows = [header]
    for n in range(devices):
        lat, lon = 44 + (n % 300) * 0.001, 7 + (n // 300) * 0.001
        row = "%.13f;%.13f;%.12f;%.12f;%.11f,%.11f,5.00000" % (lat, lon, n % 360, 5 + n % 90, lat, lon)
        ident = ("d%06d-" % n).ljust(min(64, width - len(row) - 1), "x")
        rows.append((ident + ";" + row).encode()[:width] + b"\n")
    body = b"".join(rows)
    assert len(body) <= limit, len(body)
    return body


def put(url, body, destination):
    request = urllib.request.Request(url + "/api/v1/flotta?verso=" + destination, data=body, method="PUT",
                                     headers={"Content-Type": "text/csv"})
    try:
        with urllib.request.urlopen(request, timeout=120) as reply:
            return reply.status, reply.read()[:200]
    except urllib.error.HTTPError as error:
        return error.code, error.read()[:200]


def one_round(binary, body):
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--tcp", "127.0.0.1:0")
    said = {}
    while len(said) < 2:
        match = vadrel.said(r"TCP in ascolto su 127\.0\.0\.1:(\d+)|in ascolto su (http://\S+)/api/v1")
        said.update({k: v for k, v in zip(("port", "url"), match.groups()) if v})
    feed = socket.create_connection(("127.0.0.1", int(said["port"])), timeout=30)
    arrivals = []

    def take():
        while True:
            try:
                data = feed.recv(65536)
            except OSError:
                return
            if not data:
                return
            arrivals.extend([time.monotonic()] * data.count(b"$GPRMC"))

    reader = threading.Thread(target=take, daemon=True)
    reader.start()
    time.sleep(3)
    start = time.monotonic()
    status, answer = put(said["url"], body, "osmand:http://127.0.0.1:%d" % free_port())
    answered = time.monotonic()
    time.sleep(2)
    feed.close()
    vadrel.finish()
    seen = [t for t in arrivals if start - 1.5 <= t <= answered + 2]
    gaps = [b - a for a, b in zip(seen, seen[1:])]
    return status, answer, answered - start, max(gaps) if gaps else float("nan")


def main():
    binary = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    body = fleet_body()
    print("body: %d bytes, %d devices" % (len(body), DEVICES))
    for n in range(rounds):
        status, answer, took, gap = one_round(binary, body)
        print("round %d: answer %d in %.2f s, longest gap between seconds %.3f s (%s)"
              % (n + 1, status, took, gap, answer[:80]))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
