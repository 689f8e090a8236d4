#!/usr/bin/python3
"""How close to the wall-clock second each sentence arrives, as a reader on
the virtual port sees it, and what the headless program costs meanwhile.

    bench/tick_offset.py build/src/app/vadrel [seconds]

Prints the arrival offset after the second (median, p99, max, in ms), the
process's CPU time as a share of one core, and its peak memory."""

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


def main():
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    device = None
    while device is None:
        line = proc.stdout.readline()
        if not line:
            sys.exit("vadrel ended before printing its port")
        if line.startswith("COM 2: "):
            device = line.split(": ", 1)[1].strip()
    # keep draining the monitor so the program never blocks on standard output
    fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    offsets = []
    rmc_seconds = []
    pending = b""
    end = time.time() + seconds
    out = proc.stdout.fileno()
    while time.time() < end:
        ready, _, _ = select.select([fd, out], [], [], 0.5)
        if fd in ready:
            chunk = os.read(fd, 4096)
            now = time.time()
            pending += chunk
            while b"\r\n" in pending:
                sentence, pending = pending.split(b"\r\n", 1)
                offsets.append((now - int(now)) * 1000.0)
                fields = sentence.split(b",")
                if len(fields) > 1:
                    rmc_seconds.append(int(fields[1][-2:]))
        if out in ready:
            os.read(out, 65536)
    os.close(fd)
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = usage.ru_utime + usage.ru_stime
    offsets.sort()
    gaps = sum(1 for a, b in zip(rmc_seconds, rmc_seconds[1:]) if (b - a) % 60 != 1)
    p99 = offsets[min(len(offsets) - 1, int(len(offsets) * 0.99))]
    print("sentences: %d over %.0f s; rmc_ora not consecutive: %d" % (len(offsets), seconds, gaps))
    print("arrival after the second: median %.2f ms, p99 %.2f ms, max %.2f ms"
          % (statistics.median(offsets), p99, offsets[-1]))
    print("CPU: %.3f s = %.4f %% of one core" % (cpu, 100.0 * cpu / seconds))
    print("peak memory: %.1f MB" % (usage.ru_maxrss / 1024.0))


if __name__ == "__main__":
    main()
