#!/usr/bin/python3
"""The simulated clock on the real headless program.

    bench/clock_rates.py build/src/app/vadrel [seconds]

At x100 (a simulated second every 10 ms): the arrival of each second's
$GPRMC at a TCP client against its own instant (the first arrival plus
10 ms for each simulated second since), median, p99 and max in ms, and the
seconds missing or repeated. At max: the simulated seconds a real second the
log takes, and whether any is missing."""

import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def start(binary, folder, *extra):
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", "--controllo", "no",
                             "--inizio", "2016-12-31T23:58:00Z", *extra],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return proc


def seconds_of(field):
    """Seconds of the day of an hhmmss field, 235960 counted as 86400."""
    return int(field[:2]) * 3600 + int(field[2:4]) * 60 + int(field[4:6])


def jitter(binary, seconds):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    proc = start(binary, folder, "--tcp", "0", "--velocita-tempo", "100", "--utc")
    port = None
    for line in proc.stderr:
        match = re.search(r"TCP in ascolto su 127\.0\.0\.1:(\d+)", line)
        if match:
            port = int(match.group(1))
            break
    client = socket.create_connection(("127.0.0.1", port))
    client.settimeout(1.0)
    arrivals, pending = [], b""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            chunk = client.recv(65536)
        except socket.timeout:
            continue
        now = time.monotonic()
        if not chunk:
            break
        pending += chunk
        while b"\r\n" in pending:
            line, pending = pending.split(b"\r\n", 1)
            if line.startswith(b"$GPRMC"):
                arrivals.append((now, line.split(b",")[1].decode()))
    proc.terminate()
    proc.wait()
    # Simulated seconds since the first: the day turns over at 235960.
    count, last, offsets = 0, None, []
    for now, field in arrivals:
        s = seconds_of(field)
        if last is not None:
            step = s - last if s >= last else s + 86401 - last
            count += step
        last = s
        offsets.append(now - arrivals[0][0] - count / 100.0)
    base = min(offsets)
    late = sorted((o - base) * 1000.0 for o in offsets)
    gaps = [(a[1], b[1]) for (a, b) in zip(arrivals, arrivals[1:])
               if not (seconds_of(b[1]) == seconds_of(a[1]) + 1 or (a[1] == "235960" and b[1] == "000000")
                       or (a[1] == "235959" and b[1] in ("235960", "000000")))]
    if gaps:
        print("not consecutive:", gaps[:5])
    print("x100: %d seconds over %.0f s real; missing or repeated %d; arrival after its instant: "
          "median %.2f ms, p99 %.2f ms, max %.2f ms"
          % (len(arrivals), seconds, len(gaps), statistics.median(late), late[int(len(late) * 0.99)], late[-1]))


def max_rate(binary, seconds):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    log = folder + "/registro.nmea"
    proc = start(binary, folder, "--velocita-tempo", "max", "--registra", log, "--tcp", "no",
                 "--durata", str(seconds))
    proc.communicate(timeout=seconds + 60)
    with open(log, "rb") as f:
        times = [line.split(b",")[1].decode() for line in f.read().splitlines() if line.startswith(b"$GPRMC")]
    print("max: %d simulated seconds in %.0f s real, %.0f a second, into the log"
          % (len(times), seconds, len(times) / seconds))


def main():
    binary = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    jitter(binary, seconds)
    max_rate(binary, seconds)


if __name__ == "__main__":
    main()
