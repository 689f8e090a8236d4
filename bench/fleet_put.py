#!/usr/bin/python3
"""A 16 MiB fleet file (100,000 devices, each in a zone) PUT to the running
program while a TCP client takes the seconds' sentences: the longest gap
between two seconds' $GPRMC at the client from a second before the PUT to
two seconds after its answer, and the PUT's time to its answer. The fleet
reports over osmand: to a port where nobody listens, so the bench measures
the reading, not a server.

    bench/fleet_put.py build/src/app/vadrel [rounds]
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
import test_fleet_hostile as hostile  # noqa: E402
from vadrel_run import free_port  # noqa: E402


def one_round(body):
    vadrel, url, port = hostile.started()
    seconds = hostile.Seconds(port)
    try:
        time.sleep(3)
        start = time.monotonic()
        status, answer = hostile.put(url, body, "osmand:http://127.0.0.1:%d" % free_port())
        answered = time.monotonic()
        time.sleep(2)
        return status, answer.get("dispositivi"), answered - start, seconds.longest_gap(start - 1, answered + 2)
    finally:
        seconds.close()
        vadrel.finish()


def main():
    hostile.BINARY = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    body = hostile.fleet_body()
    print("body: %d bytes, %d devices" % (len(body), hostile.DEVICES))
    for n in range(rounds):
        status, devices, took, gap = one_round(body)
        print("round %d: answer %d (%s devices) in %.2f s, longest gap between seconds %.3f s"
              % (n + 1, status, devices, took, gap))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
