#!/usr/bin/python3
"""How close to the wall-clock second each sentence arrives, as a reader on
the virtual port sees it, and what the headless program costs meanwhile.

    bench/tick_offset.py build/src/app/vadrel [seconds]

Prints the arrival offset after the second (median, p99, max, in ms), the
process's CPU time as a share of one core, and its peak memory.
bench/window_map.py measures the window program the same way."""

import os
import resource
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import tty


def virtual_port(proc):
    """The path vadrel prints for its virtual COM 2."""
    while True:
        line = proc.stdout.readline()
        if not line:
            sys.exit("vadrel ended before printing its port")
        if line.startswith("COM 2: "):
            return line.split(": ", 1)[1].strip()


def open_reader(device):
    fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    return fd


class Arrivals:
    """The sentences read on the port: each one's arrival after the
    wall-clock second (ms) and the seconds of its time field."""

    def __init__(self, fd):
        self.fd = fd
        self.offsets = []
        self.rmc_seconds = []
        self.pending = b""

    def read(self, seconds, drain=()):
        """Reads for `seconds`. The `drain` descriptors are read and dropped,
        so the program never waits on them."""
        end = time.time() + seconds
        while time.time() < end:
            ready, _, _ = select.select([self.fd, *drain], [], [], 0.5)
            if self.fd in ready:
                chunk = os.read(self.fd, 4096)
                now = time.time()
                self.pending += chunk
                while b"\r\n" in self.pending:
                    sentence, self.pending = self.pending.split(b"\r\n", 1)
                    self.offsets.append((now - int(now)) * 1000.0)
                    fields = sentence.split(b",")
                    if len(fields) > 1:
                        self.rmc_seconds.append(int(fields[1][-2:]))
            for other in drain:
                if other in ready:
                    os.read(other, 65536)


def summary(offsets, rmc_seconds, seconds):
    offsets = sorted(offsets)
    gaps = sum(1 for a, b in zip(rmc_seconds, rmc_seconds[1:]) if (b - a) % 60 != 1)
    p99 = offsets[min(len(offsets) - 1, int(len(offsets) * 0.99))]
    return ("sentences: %d over %.0f s; rmc_ora not consecutive: %d\n"
            "arrival after the second: median %.2f ms, p99 %.2f ms, max %.2f ms"
            % (len(offsets), seconds, gaps, statistics.median(offsets), p99, offsets[-1]))


def main():
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    fd = open_reader(virtual_port(proc))
    # keep draining the monitor so the program never blocks on standard output
    arrivals = Arrivals(fd)
    arrivals.read(seconds, [proc.stdout.fileno()])
    os.close(fd)
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = usage.ru_utime + usage.ru_stime
    print(summary(arrivals.offsets, arrivals.rmc_seconds, seconds))
    print("CPU: %.3f s = %.4f %% of one core" % (cpu, 100.0 * cpu / seconds))
    print("peak memory: %.1f MB" % (usage.ru_maxrss / 1024.0))


if __name__ == "__main__":
    main()
