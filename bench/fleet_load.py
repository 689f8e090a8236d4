#!/usr/bin/python3
"""The tracked fleet under load: N devices over traccar: to a receiver in a
process of its own, for a stretch of seconds after they have connected:
vadrel's CPU (user and system time apart: the system time is the kernel's
own work for the sends, the user time vadrel's), its peak memory, the reports
lost (each device must report each second of the stretch once), and the
spread of the reports within the second (their arrival after the second
their $GPRMC names, by tenths of a second; the share of the busiest
millisecond).

    bench/fleet_load.py build/src/app/vadrel [seconds] [devices...]

The bench raises its limit of open files to the hard limit; vadrel raises
its own."""

import json
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time


def receiver(port_file, seconds_file):
    """The receiver's process (the integration test's receiver): each
    $GPRMC line's arrival after its second kept; the tally written on SIGTERM."""
    resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
    from test_fleet import Receiver  # noqa: E402
    signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGTERM])
    got = Receiver()
    with open(port_file, "w") as f:
        f.write(str(got.port))
    signal.sigwait([signal.SIGTERM])
    got.close()
    reports = {}  # id -> {second: arrival offset}
    for ident, lines in got.by_device(True).items():
        for line, now in lines:
            if not line.startswith("$GPRMC"):
                continue
            hhmmss = line.split(",")[1]
            second = int(hhmmss[0:2]) * 3600 + int(hhmmss[2:4]) * 60 + int(hhmmss[4:6])
            day = int(now) - int(now) % 86400
            offset = now - (day + second)
            if offset < -43200:
                offset += 86400
            reports.setdefault(ident, {})[day + second] = offset
    with open(seconds_file, "w") as f:
        json.dump(reports, f)


def status(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    tick = os.sysconf("SC_CLK_TCK")
    return int(fields[11]) / tick, int(fields[12]) / tick


def run(binary, devices, seconds):
    folder = tempfile.mkdtemp(prefix="vadrel-bench-fleet-")
    port_file, seconds_file = os.path.join(folder, "port"), os.path.join(folder, "seconds.json")
    receiving = subprocess.Popen([sys.executable, __file__, "--receiver", port_file, seconds_file])
    while not os.path.exists(port_file) or not open(port_file).read():
        time.sleep(0.05)
    port = int(open(port_file).read())
    path = os.path.join(folder, "flotta.csv")
    with open(path, "w") as f:
        f.write("id;lat;lon;rotta;velocita_kmh\n")
        for n in range(devices):
            f.write("d%05d;%.3f;%.3f;%d;%d\n" % (n, 44 + n % 100 * 0.001, 7 + n // 100 * 0.001, n % 360, 5 + n % 120))
    vadrel = subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--flotta", path,
                               "--flotta-verso", "traccar:127.0.0.1:%d" % port],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(8)  # connected, and past the start
    start = time.time()
    user0, system0 = cpu(vadrel.pid)
    time.sleep(seconds)
    user1, system1 = cpu(vadrel.pid)
    end = time.time()
    peak = status(vadrel.pid, "VmHWM")
    vadrel.send_signal(signal.SIGTERM)
    vadrel.wait()
    time.sleep(1)
    receiving.send_signal(signal.SIGTERM)
    receiving.wait()
    with open(seconds_file) as f:
        reports = json.load(f)
    first, last = int(start) + 2, int(end) - 2
    lost, offsets = 0, []
    for n in range(devices):
        seen = reports.get("d%05d" % n, {})
        for second in range(first, last + 1):
            if str(second) in seen:
                offsets.append(seen[str(second)])
            else:
                lost += 1
    tenths = [0] * 11
    millis = {}
    for offset in offsets:
        tenths[min(max(int(offset * 10), 0), 10)] += 1
        millis[int(offset * 1000)] = millis.get(int(offset * 1000), 0) + 1
    span = end - start
    user, system = user1 - user0, system1 - system0
    print("%6d devices, %d s: CPU %.1f %% of one core (user %.1f %%, system %.1f %%; system/user %.2f), "
          "peak %.1f MB, reports lost %d of %d, arrival after the second: min %.3f s, max %.3f s, "
          "by tenths %s, busiest millisecond %.2f %% of a second's reports"
          % (devices, seconds, 100 * (user + system) / span, 100 * user / span, 100 * system / span,
             system / user if user else float("nan"), peak / 1024, lost, devices * (last - first + 1),
             min(offsets) if offsets else -1, max(offsets) if offsets else -1, tenths,
             100 * max(millis.values()) * (last - first + 1) / max(len(offsets), 1) if millis else 0))
    sys.stdout.flush()


def main():
    if sys.argv[1] == "--receiver":
        receiver(sys.argv[2], sys.argv[3])
        return
    resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
    binary = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for devices in [int(n) for n in sys.argv[3:]] or [1000, 5000, 10000]:
        run(binary, devices, seconds)


main()
