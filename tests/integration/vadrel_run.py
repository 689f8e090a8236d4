"""Starting the real vadrel program for the end-to-end tests."""

import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import time


class Vadrel:
    """vadrel --senza-finestra on a virtual COM 2, in a folder of its own."""

    def __init__(self, binary, *extra, folder=None, prefix=(), **popen):
        self.folder = folder or tempfile.mkdtemp(prefix="vadrel-")
        self.proc = subprocess.Popen(
            [*prefix, binary, "--senza-finestra", "--cartella", self.folder, "--com", "2=pty", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1, errors="replace", **popen)
        self.device = None
        self.lines = []
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            line = self.proc.stdout.readline()
            if not line:
                break
            self.lines.append(line.rstrip("\n"))
            match = re.match(r"COM 2: (\S+)", line)
            if match:
                self.device = match.group(1)
                return
        self.stop()
        raise RuntimeError("vadrel did not print its virtual port: %r" % self.lines)

    def said(self, pattern):
        """Reads standard error up to a line that matches; the match."""
        for line in self.proc.stderr:
            match = re.search(pattern, line)
            if match:
                return match
        raise AssertionError("vadrel never said %r" % pattern)

    def tcp_port(self):
        """The port of the TCP server started with --tcp 0, as vadrel says it."""
        return int(self.said(r"TCP in ascolto su 127\.0\.0\.1:(\d+)").group(1))

    def memory_kb(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise AssertionError("no VmRSS")

    def stop(self, sig=signal.SIGTERM):
        """Asks for the orderly shut-down and returns the exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=15)
        finally:
            self.proc.stdout.close()
            self.proc.stderr.close()

    def sentence(self):
        """The next $GPRMC sentence the monitor shows."""
        while True:
            line = self.proc.stdout.readline()
            assert line, "vadrel ended early"
            if line.startswith("$GPRMC"):
                return line.strip()

    def config_path(self):
        return os.path.join(self.folder, "vadrel.cnf")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def gpsd_reports(device, count, deadline, **popen):
    """Runs gpsd on the device (or tcp://HOST:PORT) and returns its first
    `count` TPV reports with a position. Without -b gpsd writes its probe bytes
    into the port, which vadrel must drop. popen: user and group to run it as."""
    port = free_port()
    folder = tempfile.mkdtemp(prefix="gpsd-")
    os.chmod(folder, 0o777)  # for a gpsd run as another user
    control = os.path.join(folder, "control")
    daemon = subprocess.Popen(["/usr/sbin/gpsd", "-N", "-n", "-S", str(port), "-F", control, device],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **popen)
    reports = []
    try:
        while True:
            try:
                conn = socket.create_connection(("127.0.0.1", port), timeout=2)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        with conn:
            conn.sendall(b'?WATCH={"enable":true,"json":true};\n')
            buffer = b""
            while len(reports) < count and time.monotonic() < deadline:
                try:
                    chunk = conn.recv(4096)
                except socket.timeout:
                    continue
                if not chunk:
                    break
                buffer += chunk
                while b"\n" in buffer:
                    line, buffer = buffer.split(b"\n", 1)
                    report = json.loads(line)
                    if report.get("class") == "TPV" and "lat" in report and "time" in report:
                        reports.append(report)
    finally:
        daemon.terminate()
        daemon.wait(timeout=10)
    return reports[:count]
