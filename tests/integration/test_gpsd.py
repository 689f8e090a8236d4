#!/usr/bin/python3
"""gpsd, a real NMEA client, reads vadrel's virtual port and reports the
position vadrel is sending."""

import json
import os
import socket
import subprocess
import sys
import tempfile
import time

from vadrel_run import Vadrel


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def first_fix(port, deadline):
    """Connects to gpsd and returns the first TPV report with a position."""
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
        while time.monotonic() < deadline:
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
                if report.get("class") == "TPV" and "lat" in report:
                    return report
    raise AssertionError("gpsd reported no position")


def main():
    binary = sys.argv[1]
    gpsd = "/usr/sbin/gpsd"
    vadrel = Vadrel(binary)
    port = free_port()
    control = os.path.join(tempfile.mkdtemp(prefix="gpsd-"), "control")
    # no -b: gpsd writes its probe bytes into the port and vadrel must drop them
    daemon = subprocess.Popen([gpsd, "-N", "-n", "-S", str(port), "-F", control, vadrel.device],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        fix = first_fix(port, time.monotonic() + 30)
    finally:
        daemon.terminate()
        daemon.wait(timeout=10)
        code = vadrel.stop()
    # the start-up position 44 deg 1,7775 min N, 10 deg 8,0623 min E reads as
    # 44 deg 02 min N, 10 deg 08 min E on the first tick
    expected_lat = 44 + 2 / 60
    expected_lon = 10 + 8 / 60
    print("gpsd TPV:", json.dumps(fix))
    assert abs(fix["lat"] - expected_lat) < 1e-5, fix
    assert abs(fix["lon"] - expected_lon) < 1e-5, fix
    assert code == 0, "vadrel exit code %d" % code
    with open(vadrel.config_path(), "rb") as f:
        lines = f.read().split(b"\r\n")
    assert lines[0] == b'44,2,"N",,10,8,"E",0,0,#TRUE#,#FALSE#', lines[0]
    assert len(lines) == 23 and lines[22] == b"", len(lines)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
