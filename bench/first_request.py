#!/usr/bin/python3
"""What the first request of each kind to the control interface costs the
tick, side by side with the seconds without one, in one run of the real
program. A reader of the TCP output (a thread of its own) times each
$GPRMC after its wall-clock second; each request is sent half-way through a
second, after the table's first save, and the sentence of the next second
is the one it could delay. Each kind goes twice: the first of the run, then
again once everything Qt loads on first use is loaded.

    bench/first_request.py build/src/app/vadrel            # headless
    xvfb-run -a bench/first_request.py build/src/app/vadrel --finestra
    bench/first_request.py build/src/app/vadrel --fsync-lento 350

Prints, per request, its reply time and the next sentence's arrival after
its second (ms); then the arrivals of the seconds without a request
(median, max), the seconds with no sentence and those later than 100 ms.
--fsync-lento MS runs the program under strace with each fsync held MS
milliseconds, as a disk busy with other writers holds it: the table's save
after a change (every few seconds, on the tick's thread) shows in the
seconds that follow."""

import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402


class Arrivals(threading.Thread):
    def __init__(self, port):
        super().__init__(daemon=True)
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.seen = {}  # whole second of arrival -> ms after it
        self.start()

    def run(self):
        pending = b""
        while chunk := self.sock.recv(65536):
            now = time.time()
            pending += chunk
            while b"\r\n" in pending:
                sentence, pending = pending.split(b"\r\n", 1)
                if sentence.startswith(b"$GPRMC"):
                    self.seen.setdefault(int(now), (now - int(now)) * 1000.0)


def refused(client):
    try:
        client.set_vehicle(3, rotta=999)
    except VadrelError:
        pass


def main():
    binary = sys.argv[1]
    window = "--finestra" in sys.argv[2:]
    prefix = []
    if "--fsync-lento" in sys.argv[2:]:
        delay_us = int(float(sys.argv[sys.argv.index("--fsync-lento") + 1]) * 1000)
        prefix = ["strace", "-f", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:delay_exit=%d" % delay_us]
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    args = [*prefix, binary, "--cartella", folder, "--com", "2=pty", "--tcp", "127.0.0.1:0", "--controllo", "127.0.0.1:0"]
    if not window:
        args.insert(len(prefix) + 1, "--senza-finestra")
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    tcp = url = None
    for line in proc.stderr:
        if m := re.search(r"TCP in ascolto su 127\.0\.0\.1:(\d+)", line):
            tcp = int(m.group(1))
        if m := re.search(r"in ascolto su (http://\S+)/api/v1", line):
            url = m.group(1)
        if tcp and url:
            break
    threading.Thread(target=lambda: [None for _ in proc.stderr], daemon=True).start()
    client, arrivals = Client(url), Arrivals(tcp)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(os.path.join(folder, "vadrel.cnf")) and time.monotonic() < deadline:
            time.sleep(0.1)
        # name, the request
        kinds = [("GET /stato", client.state),
                 ("GET /mezzi/3", lambda: client.vehicle(3)),
                 ("PATCH /mezzi/3", lambda: client.set_vehicle(3, rotta=45)),
                 ("PATCH refused (400)", lambda: refused(client)),
                 ("WebSocket /eventi", lambda: client.events(timeout=2).close())]
        asked = set()
        print("%-8s %-22s %10s %22s" % ("", "request", "reply ms", "next sentence, ms late"))
        for round_ in ("first", "again"):
            for name, call in kinds:
                now = time.time()
                second = int(now) + 1
                time.sleep(second + 0.5 - now)
                start = time.perf_counter()
                call()
                took = (time.perf_counter() - start) * 1000.0
                asked.update((second, second + 1))
                time.sleep(second + 1.6 - time.time())
                late = arrivals.seen.get(second + 1)
                print("%-8s %-22s %10.1f %22s" % (round_, name, took, "%.1f" % late if late is not None else "none"))
        quiet = [ms for s, ms in arrivals.seen.items() if s not in asked]
        print("seconds without a request: %d, arrival median %.1f ms, max %.1f ms"
              % (len(quiet), statistics.median(quiet), max(quiet)))
        first, last = min(arrivals.seen), max(arrivals.seen)
        clock = lambda s: time.strftime("%H:%M:%S", time.localtime(s))
        missing = [clock(s) for s in range(first, last) if s not in arrivals.seen]
        late = ["%s: %.0f ms" % (clock(s), ms) for s, ms in sorted(arrivals.seen.items()) if ms > 100]
        print("seconds without a sentence: %r; later than 100 ms: %r" % (missing, late))
    finally:
        # Under strace the program is strace's child: the signal goes to it.
        target = proc.pid
        if prefix:
            with open("/proc/%d/task/%d/children" % (proc.pid, proc.pid)) as f:
                target = int(f.read().split()[0])
        os.kill(target, signal.SIGTERM)
        proc.wait(timeout=60)


if __name__ == "__main__":
    main()
