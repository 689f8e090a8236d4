#!/usr/bin/python3
"""The real program reporting 1000, 5000 and 10,000 devices a second over
OsmAnd to a receiver in another process (asyncio, HTTP/1.1 kept alive, one
fixed answer per request). Per fleet: the program's CPU (user and system,
from /proc: the system share is the kernel's own cost of the sends), its
peak memory (VmHWM), the reports lost in the middle seconds (each device
once a second), and the spread of the arrivals over the tenths of the
second.

    bench/fleet_osmand.py build/src/app/vadrel [SECONDS=10] [DEVICES...]

Needs a vadrel with the tracked fleet (--flotta)."""

import asyncio
import multiprocessing
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
from vadrel_run import Vadrel  # noqa: E402

ANSWER = b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"


def receiver(port_out, results, stop):
    """Counts the requests of each wall-clock second and tenth of second."""
    per_second, tenths = {}, [0] * 10

    async def client(reader, writer):
        pending = b""
        while True:
            try:
                chunk = await reader.read(65536)
            except ConnectionError:  # the program's end resets its connections
                break
            if not chunk:
                break
            now = time.time()
            pending += chunk
            count = pending.count(b"\r\n\r\n")
            pending = pending[pending.rfind(b"\r\n\r\n") + 4:] if count else pending
            per_second[int(now)] = per_second.get(int(now), 0) + count
            tenths[int(now * 10) % 10] += count
            writer.write(ANSWER * count)

    async def serve():
        server = await asyncio.start_server(client, "127.0.0.1", 0)
        port_out.send(server.sockets[0].getsockname()[1])
        while not stop.is_set():
            await asyncio.sleep(0.1)
        results.send((per_second, tenths))

    asyncio.run(serve())


def proc_times(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    tick = os.sysconf("SC_CLK_TCK")
    return int(fields[11]) / tick, int(fields[12]) / tick


def peak_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))


def run(binary, devices, seconds):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    path = os.path.join(folder, "flotta.csv")
    with open(path, "w") as f:
        f.write("id;lat;lon;rotta;velocita_kmh\n")
        for i in range(devices):
            f.write("d%05d;%.5f;%.5f;%d;%d\n" % (i, -50 + (i * 0.01) % 100, -170 + (i * 0.037) % 340, i % 360, i % 120))
    port_in, port_out = multiprocessing.Pipe(False)
    results_in, results_out = multiprocessing.Pipe(False)
    stop = multiprocessing.Event()
    child = multiprocessing.Process(target=receiver, args=(port_out, results_out, stop))
    child.start()
    port = port_in.recv()
    vadrel = Vadrel(binary, "--flotta", path, "--flotta-verso", "osmand:http://127.0.0.1:%d" % port, folder=folder)
    time.sleep(2)  # the start
    user0, system0 = proc_times(vadrel.proc.pid)
    begun = time.time()
    time.sleep(seconds)
    user1, system1 = proc_times(vadrel.proc.pid)
    peak = peak_kb(vadrel.proc.pid)
    vadrel.stop()
    stop.set()
    per_second, tenths = results_in.recv()
    child.join()
    middle = [per_second.get(s, 0) for s in range(int(begun) + 1, int(begun) + seconds)]
    # A second's reports straddle the wall-clock second a little: lost is what
    # the whole stretch lacks, not each second's shortfall.
    lost = max(0, devices * len(middle) - sum(middle))
    user, system = user1 - user0, system1 - system0
    print("%6d devices: CPU user %.1f%% system %.1f%% (system/user %.2f), peak %d KB, "
          "reports a second %d..%d, lost %d of %d, arrivals per tenth of a second %d..%d"
          % (devices, 100 * user / seconds, 100 * system / seconds, system / user if user else 0, peak,
             min(middle), max(middle), lost, devices * len(middle), min(tenths), max(tenths)))


def main():
    binary = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    fleets = [int(n) for n in sys.argv[3:]] or [1000, 5000, 10000]
    if "--flotta" not in subprocess.run([binary, "--help"], capture_output=True, text=True).stdout:
        sys.exit("this vadrel has no --flotta")
    for devices in fleets:
        run(binary, devices, seconds)


if __name__ == "__main__":
    main()
