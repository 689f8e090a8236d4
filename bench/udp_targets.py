#!/usr/bin/python3
"""UDP targets on the loopback: the descriptors the headless program holds
and the CPU a tick costs it, with every target a listener's and with every
target a port nobody listens on (each datagram draws a refusal back).

    bench/udp_targets.py build/src/app/vadrel [targets] [seconds] [other build's vadrel ...]

Each binary runs the two cases one after the other; the CPU is the
program's user and system time (/proc, 10 ms resolution) over the seconds
after the first two, divided by their number."""

import os
import socket
import subprocess
import sys
import tempfile


def tick(proc):
    while True:
        line = proc.stdout.readline()
        assert line, "vadrel ended early"
        if line.startswith("$GPRMC"):
            return


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run(binary, targets, seconds, refused):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sink:
        sink.bind(("127.0.0.1", 0))
        port = sink.getsockname()[1]
        if refused:
            sink.close()
        args = sum((["--udp", "127.0.0.1:%d" % port] for _ in range(targets)), [])
        proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", tempfile.mkdtemp(prefix="vadrel-udp-"),
                                 "--com", "2=pty", *args],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            tick(proc)
            tick(proc)
            start = cpu_seconds(proc.pid)
            for _ in range(seconds):
                tick(proc)
            used = cpu_seconds(proc.pid) - start
            held = len(os.listdir("/proc/%d/fd" % proc.pid))
        finally:
            proc.terminate()
            proc.wait()
    print("%s, %d targets %s: %d descriptors, %.2f ms of CPU a second"
          % (binary, targets, "refused" if refused else "heard", held, used * 1000 / seconds))


def main():
    binary = sys.argv[1]
    targets = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    for each in [binary, *sys.argv[4:]]:
        for refused in (False, True):
            run(each, targets, seconds, refused)


if __name__ == "__main__":
    main()
