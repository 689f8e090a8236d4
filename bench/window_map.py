#!/usr/bin/python3
"""The window program with 19 vehicles moving in multi-user mode, first with
the map closed, then with it open: the arrival of each sentence after the
wall-clock second, the CPU and the resident memory of each phase, sampled
every 10 s. The map must not change the tick's timing, and with it open the
memory must stay flat (the track history is bounded; a drawing keeps
nothing).

    bench/window_map.py build/src/app/vadrel [closed_seconds] [open_seconds]

Defaults: 300 s closed, 600 s open. Runs its own X server (Xvfb) and opens
the map as an operator does (Alt+V, M) with xdotool."""

import os
import select
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tick_offset import Arrivals, open_reader, summary, virtual_port  # noqa: E402

VEHICLES = 19


def table(folder):
    """19 vehicles at 100 .. 1000 km/h on courses all round, near Milan."""
    lines = []
    for m in range(21):
        if m < VEHICLES:
            lines.append('45,%d,"N",,9,%d,"E",%d,%d,#TRUE#,#FALSE#' % (20 + m, 10 + m, 100 + 50 * m, 19 * m))
        else:
            lines.append('0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#')
    lines.append(",".join(['"#"'] * 10))
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode())


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def phase(name, proc, fd, seconds):
    """Measures for `seconds`, the memory every 10 s."""
    arrivals = Arrivals(fd)
    memory = []
    cpu_before = cpu_seconds(proc.pid)
    left = seconds
    while left > 0:
        part = min(10.0, left)
        arrivals.read(part, [proc.stdout.fileno()])
        memory.append(rss_kb(proc.pid))
        left -= part
    cpu = cpu_seconds(proc.pid) - cpu_before
    print("== %s" % name, flush=True)
    print(summary(arrivals.offsets, arrivals.rmc_seconds, seconds))
    print("CPU: %.2f s = %.3f %% of one core" % (cpu, 100.0 * cpu / seconds))
    print("resident memory, every 10 s (MB): first %.1f, last %.1f, least %.1f, most %.1f"
          % (memory[0] / 1024, memory[-1] / 1024, min(memory) / 1024, max(memory) / 1024))
    print("  " + " ".join("%.1f" % (m / 1024) for m in memory), flush=True)


def window_with_caption(caption):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        if '"%s":' % caption in line:
            return line.split()[0]
    return None


def wait_window(caption):
    for _ in range(200):
        window = window_with_caption(caption)
        if window:
            return window
        time.sleep(0.05)
    sys.exit("no window \"%s\"" % caption)


def main():
    binary = sys.argv[1]
    closed = float(sys.argv[2]) if len(sys.argv) > 2 else 300.0
    opened = float(sys.argv[3]) if len(sys.argv) > 3 else 600.0
    folder = tempfile.mkdtemp(prefix="vadrel-bench-")
    table(folder)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    select.select([read_end], [], [], 10)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()
    proc = subprocess.Popen([binary, "--cartella", folder, "--com", "2=pty", "--modo", "multi",
                             "--mezzi", str(VEHICLES)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        fd = open_reader(virtual_port(proc))
        main_window = wait_window("Quorvel vadrel - Simulatore GPS")
        phase("map closed", proc, fd, closed)
        subprocess.run(["xdotool", "windowfocus", "--sync", main_window], check=True)
        subprocess.run(["xdotool", "key", "alt+v", "m"], check=True)
        wait_window("vadrel - Mappa")
        phase("map open, %d vehicles" % VEHICLES, proc, fd, opened)
        os.close(fd)
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=15)
        xvfb.terminate()
        xvfb.wait(timeout=10)


if __name__ == "__main__":
    main()
