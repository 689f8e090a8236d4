#!/usr/bin/python3
"""The control interface of the real program under load: the headless vadrel
with 19 vehicles in multi-user mode on a virtual port and its control
interface on the loopback; first a stretch without clients, then the same
stretch while 10 clients (threads, keep-alive connections) send 1000 vehicle
changes a second in all. Reports, for each stretch, each sentence's arrival
on the port after the wall-clock second; for the clients, each request's time
from its sending to its reply read whole (as this Python client sees it, its
own overhead included; the clients run in a process of their own, apart
from the reader of the port); the program's peak resident memory.

    bench/control_program.py build/src/app/vadrel [SECONDS=20] [CLIENTS=10] [CHANGES_PER_SECOND=1000]

Not a test: it reports figures; it fails only when a request was not answered 200."""

import http.client
import json
import multiprocessing
import os
import random
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tick_offset import Arrivals, open_reader  # noqa: E402


def figures(values):
    values = sorted(values)
    return statistics.median(values), values[min(len(values) - 1, int(len(values) * 0.99))], values[-1]


def client(port, rate, stop, latencies, failures):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    period, due = 1.0 / rate, time.monotonic()
    body_of = lambda: json.dumps({"rotta": random.randrange(360), "velocita": random.randrange(1, 40)})
    while not stop.is_set():
        due += period
        vehicle = random.randrange(19)
        start = time.perf_counter()
        try:
            connection.request("PATCH", "/api/v1/mezzi/%d" % vehicle, body=body_of(),
                               headers={"Content-Type": "application/json"})
            response = connection.getresponse()
            response.read()
            if response.status != 200:
                failures.append(response.status)
        except (OSError, http.client.HTTPException) as e:
            failures.append(str(e))
            connection.close()
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        latencies.append((time.perf_counter() - start) * 1000.0)
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
    connection.close()


def run_clients(port, clients, changes, seconds, results):
    """The clients, in a process of their own: their threads never hold up
    the reader of the port, whose times are the measure."""
    stop, latencies, failures = threading.Event(), [], []
    threads = [threading.Thread(target=client, args=(port, changes / clients, stop, latencies, failures))
               for _ in range(clients)]
    for t in threads:
        t.start()
    time.sleep(seconds)
    stop.set()
    for t in threads:
        t.join()
    results.put((latencies, failures))


def peak_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def main():
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
    clients = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    changes = int(sys.argv[4]) if len(sys.argv) > 4 else 1000
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", "--modo", "multi",
                             "--mezzi", "19", "--controllo", "127.0.0.1:0"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    device = None
    while device is None:
        line = proc.stdout.readline()
        if not line:
            sys.exit("vadrel ended before printing its port")
        if line.startswith("COM 2: "):
            device = line.split(": ", 1)[1].strip()
    port = None
    while port is None:
        match = re.search(r"in ascolto su http://127\.0\.0\.1:(\d+)/api/v1", proc.stderr.readline())
        if match:
            port = int(match.group(1))
    fd = open_reader(device)
    drain = [proc.stdout.fileno(), proc.stderr.fileno()]
    # Every vehicle moving, so each tick steps all 19.
    for n in range(19):
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        c.request("PATCH", "/api/v1/mezzi/%d" % n, body=json.dumps({"velocita": 20, "rotta": 10 * n}),
                  headers={"Content-Type": "application/json"})
        c.getresponse().read()
        c.close()

    quiet = Arrivals(fd)
    quiet.read(seconds, drain)
    results = multiprocessing.Queue()
    load = multiprocessing.Process(target=run_clients, args=(port, clients, changes, seconds + 1, results))
    load.start()
    time.sleep(0.5)
    loaded = Arrivals(fd)
    loaded.read(seconds, drain)
    latencies, failures = results.get()
    load.join()
    memory = peak_kb(proc.pid)
    os.close(fd)
    proc.send_signal(signal.SIGTERM)
    proc.communicate(timeout=30)

    q, l, r = figures(quiet.offsets), figures(loaded.offsets), figures(latencies)
    print("tick arrival after the second without clients: median %.2f ms, p99 %.2f ms, max %.2f ms (%d sentences)"
          % (*q, len(quiet.offsets)))
    print("tick arrival after the second with the clients: median %.2f ms, p99 %.2f ms, max %.2f ms (%d sentences)"
          % (*l, len(loaded.offsets)))
    print("ratio with/without: median %.2f, p99 %.2f" % (l[0] / q[0], l[1] / q[1]))
    print("requests: %d in %.0f s (%.0f a second), median %.2f ms, p99 %.2f ms, max %.2f ms; not 200: %d"
          % (len(latencies), seconds, len(latencies) / seconds, *r, len(failures)))
    print("peak memory of vadrel: %.1f MB" % (memory / 1024.0))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
