#!/usr/bin/python3
"""19 vehicles with AIS and a stream each, 100 clients on every vehicle's
port (1900 in all): what the tick costs and when the last client has its
second, beside the plain tick (one vehicle, no AIS, no streams) in the same
run; and the program's peak memory.

    bench/vehicle_streams.py build/src/app/vadrel [seconds] [clients per port]

The bench raises its own limit of open files to its hard limit (setrlimit)
and starts vadrel under `prlimit --nofile=8192:8192` so that 1900 clients
fit on both sides. Each client records when the kernel received the first
byte of each second (SO_TIMESTAMPNS), so the bench's own reading does not
count; the arrival is the latest client's minus the
wall-clock second, per second; median and p99 over the stretch."""

import os
import resource
import selectors
import socket
import statistics
import subprocess
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "integration"))
from vadrel_run import free_base  # noqa: E402

SO_TIMESTAMPNS = getattr(socket, "SO_TIMESTAMPNS", 35)

EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'
MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
VEHICLES = 19


def folder():
    path = tempfile.mkdtemp(prefix="vadrel-bench-streams-")
    lines = [b'%d,%d,"N",,10,0,"E",%d,%d,#TRUE#,#FALSE#' % (40 + k // 60, k % 60, 10 + k, 20 * k % 360)
             for k in range(VEHICLES)]
    with open(os.path.join(path, "vadrel.cnf"), "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n" + EMPTY * (21 - VEHICLES) + MARKER)
    return path


def stat(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1])
    return 0


def cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wait_line(proc, text, limit=30):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        line = proc.stderr.readline()
        if not line:
            break
        if text in line:
            return line
    sys.exit("vadrel never said %r" % text)


def measure(ports, per_port, seconds, pid):
    """Connects the clients, then reads for `seconds`: the latest arrival of
    each second (ms after it) and the CPU the program used meanwhile."""
    selector = selectors.DefaultSelector()
    clients = []
    for port in ports:
        for _ in range(per_port):
            s = socket.create_connection(("127.0.0.1", port))
            s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
            s.setblocking(False)
            selector.register(s, selectors.EVENT_READ)
            clients.append(s)
    time.sleep(2.5)  # every client accepted before the stretch
    latest = {}
    got = {}
    start_cpu, end = cpu(pid), time.time() + seconds
    while time.time() < end:
        for key, _ in selector.select(timeout=0.5):
            try:
                data, ancillary, _, _ = key.fileobj.recvmsg(65536, socket.CMSG_SPACE(16))
            except BlockingIOError:
                continue
            now = time.time()
            for level, kind, value in ancillary:
                if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                    sec, nsec = struct.unpack("qq", value[:16])
                    now = sec + nsec / 1e9  # when the kernel received it
            if not data:
                selector.unregister(key.fileobj)
                continue
            second = int(now)  # a second's bytes go a few ms after it
            fd = key.fileobj.fileno()
            if got.get(fd) != second:
                got[fd] = second
                latest[second] = max(latest.get(second, 0.0), now - second)
    used = cpu(pid) - start_cpu
    for s in clients:
        s.close()
    # the first second may hold bytes that waited for the stretch to start
    offsets = sorted(latest[second] * 1000 for second in sorted(latest)[1:])
    return offsets, used / seconds * 100


def run(binary, seconds, per_port, streams):
    base = free_base()
    args = ["prlimit", "--nofile=8192:8192", binary, "--senza-finestra", "--cartella", folder(), "--com", "2=pty",
            "--tcp-max", str(max(per_port, 1))]
    if streams:
        args += ["--mezzi", str(VEHICLES), "--ais", "--tcp-mezzi", str(base)]
    else:
        args += ["--tcp", str(base)]
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        if streams:
            wait_line(proc, "mezzo %d: TCP in ascolto" % (VEHICLES - 1))
            ports = [base + k for k in range(VEHICLES)]
        else:
            wait_line(proc, "TCP in ascolto")
            ports = [base]
        offsets, share = measure(ports, per_port, seconds, proc.pid)
        peak = stat(proc.pid, "VmHWM:") / 1024
    finally:
        proc.terminate()
        proc.wait(timeout=30)
    return offsets, share, peak, len(ports) * per_port


def main():
    binary = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    per_port = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    for name, streams in (("plain tick, 1 vehicle, TCP", False), ("19 vehicles, AIS, streams", True)):
        offsets, share, peak, clients = run(binary, seconds, per_port if streams else 1, streams)
        if not offsets:
            print("%s: no second arrived" % name)
            continue
        p99 = offsets[min(len(offsets) - 1, int(len(offsets) * 0.99))]
        print("%-28s %4d clients: last client after the second median %.2f ms, p99 %.2f ms, max %.2f ms "
              "(%d s); CPU %.3f %% of one core; peak memory %.1f MB" %
              (name, clients, statistics.median(offsets), p99, offsets[-1], len(offsets), share, peak))
    print("CPU from /proc/PID/stat in ticks of 10 ms: a share under 0.05 % reads 0")
    print("load average %.1f %.1f %.1f" % os.getloadavg())


if __name__ == "__main__":
    main()
