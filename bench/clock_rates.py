#!/usr/bin/python3
"""The simulated clock on the real headless program.

    bench/clock_rates.py build/src/app/vadrel [seconds]

At x100 (a simulated second every 10 ms): the arrival of each second's
$GPRMC at a TCP client against its own instant (the first arrival plus
10 ms for each simulated second since), median, p99 and max in ms, and the
seconds missing or repeated. At max: the simulated seconds a real second the
log takes, and whether any is missing.

    bench/clock_rates.py build/src/app/vadrel [seconds] --fleet --day

--fleet: 19 vehicles in use, each with its own stream (the full set under
a sky) read by a client, at max and at x1 in the same run: the simulated
seconds a real second and the program's CPU (user + system over the real
time) of each. --day: a 24-hour scenario at max into a log (--registra):
its real time, the program's peak memory (ru_maxrss) and the log's size."""

import os
import re
import select
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


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def said_port(proc, pattern):
    for line in proc.stderr:
        match = re.search(pattern, line)
        if match:
            return int(match.group(1))
    raise RuntimeError("vadrel never said %r" % pattern)


def fleet_run(binary, seconds, rate, vehicles=19):
    """Simulated seconds a real second and CPU share, every vehicle's stream read."""
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    log = folder + "/registro.nmea"
    with socket.socket() as s:  # a free port, the base of 21 above it
        s.bind(("127.0.0.1", 0))
        base = min(s.getsockname()[1], 65000)
    proc = start(binary, folder, "--modo", "multi", "--mezzi", str(vehicles), "--frasi", "complete", "--satelliti",
                 "--utc", "--moto-reale", "--tcp-mezzi", "127.0.0.1:%d" % base, "--tcp", "no", "--registra", log,
                 "--velocita-tempo", rate)
    ports = []
    for line in proc.stderr:
        ports += [int(p) for p in re.findall(r"mezzo \d+: TCP in ascolto su 127\.0\.0\.1:(\d+)", line)]
        if len(ports) >= vehicles:
            break
    clients = [socket.create_connection(("127.0.0.1", p)) for p in ports[:vehicles]]

    def stamps():
        with open(log, "rb") as f:
            return sum(1 for line in f if line.startswith(b"# "))

    simulated0, cpu0, start_time = stamps(), cpu_seconds(proc.pid), time.monotonic()
    received = 0
    while time.monotonic() - start_time < seconds:
        ready, _, _ = select.select(clients, [], [], 0.2)
        for c in ready:
            received += len(c.recv(1 << 20))
    simulated, took, cpu = stamps() - simulated0, time.monotonic() - start_time, cpu_seconds(proc.pid) - cpu0
    proc.terminate()
    proc.wait()
    for c in clients:
        c.close()
    return simulated / took, 100.0 * cpu / took, received / took / 1024, len(clients)


def fleet(binary, seconds):
    for rate in ("max", "1"):
        per_second, cpu, kib, streams = fleet_run(binary, seconds, rate)
        print("19 mezzi, frasi complete e satelliti, x%s: %.1f secondi simulati al secondo reale, CPU %.1f%%, "
              "%d flussi letti, %.0f KiB/s" % (rate, per_second, cpu, streams, kib))


def day(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    path = folder + "/giorno.yaml"
    with open(path, "w") as f:
        f.write("inizio: 2016-12-31T00:00:00Z\nseme: 3\nvelocita_tempo: max\ndurata: 86400\n"
                "registra: giorno.nmea\nricevitore: {utc: true, moto_reale: true, frasi: complete}\n"
                "mezzi:\n  - {numero: 0, posizione: \"45 30 0 N 9 12 0 E\", rotta: 90, velocita: 40 km/h}\n"
                "eventi:\n  - {a: 3600, fix: perso}\n  - {a: 3700, fix: ripreso}\n")
    started = time.monotonic()
    proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--controllo", "no",
                             "--scenario", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    took = time.monotonic() - started
    size = os.path.getsize(folder + "/giorno.nmea")
    print("24 ore a max nel registro: %.1f s reali, uscita %d, memoria massima %.1f MiB, CPU %.1f s, registro %.1f MiB"
          % (took, os.waitstatus_to_exitcode(status), usage.ru_maxrss / 1024, usage.ru_utime + usage.ru_stime,
             size / 1048576))


def main():
    binary = sys.argv[1]
    numbers = [a for a in sys.argv[2:] if not a.startswith("--")]
    seconds = float(numbers[0]) if numbers else 10.0
    jitter(binary, seconds)
    max_rate(binary, seconds)
    if "--fleet" in sys.argv:
        fleet(binary, seconds)
    if "--day" in sys.argv:
        day(binary)


if __name__ == "__main__":
    main()
