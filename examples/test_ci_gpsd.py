"""How a team drives vadrel and gpsd in its CI: a test of a program that
reads positions from gpsd, written with the standard library (unittest;
pytest runs it as it is).

The test starts vadrel headless on a virtual serial port with the control
interface, starts gpsd on that port, puts a vehicle somewhere, reads the fix
from gpsd, takes the fix away, sees gpsd lose it, and gives it back.
Replace the gpsd reader below with the program under test.

    VADREL=/usr/bin/vadrel python3 -m unittest examples/test_ci_gpsd.py

Needs vadrel, gpsd (Debian: gpsd) and python/vadrel_client.py (found beside
this folder, or anywhere on PYTHONPATH).
"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from vadrel_client import Vadrel  # noqa: E402

VADREL = os.environ.get("VADREL", shutil.which("vadrel") or "vadrel")
GPSD = os.environ.get("GPSD", shutil.which("gpsd") or "/usr/sbin/gpsd")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Gpsd:
    """gpsd on one device, on a port of its own, and its reports (TPV)."""

    def __init__(self, device):
        self.port = free_port()
        # -b: read only, no probes written into the port; -n: read at once.
        self.proc = subprocess.Popen([GPSD, "-N", "-n", "-b", "-S", str(self.port), device],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while True:
            try:
                self.socket = socket.create_connection(("127.0.0.1", self.port), timeout=2)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        self.socket.sendall(b'?WATCH={"enable":true,"json":true};\n')
        self.file = self.socket.makefile("r", encoding="utf-8")

    def fix(self, accept, seconds=30):
        """The first TPV report for which accept(report) holds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            line = self.file.readline()
            if not line:
                break
            report = json.loads(line)
            if report.get("class") == "TPV" and accept(report):
                return report
        raise AssertionError("gpsd gave no such report within %d s" % seconds)

    def stop(self):
        self.socket.close()
        self.proc.terminate()
        self.proc.wait(timeout=10)


class VehicleThroughGpsd(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vadrel-ci-")
        link = os.path.join(self.folder, "gps0")
        # UTC and the vehicle's real speed and course, as a modern receiver
        # sends them; port 0: vadrel takes a free one and says which.
        self.vadrel = subprocess.Popen(
            [VADREL, "--senza-finestra", "--cartella", self.folder, "--com", "2=pty:" + link,
             "--utc", "--moto-reale", "--controllo", "127.0.0.1:0"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        url = None
        for line in self.vadrel.stderr:
            match = re.search(r"in ascolto su (http://\S+)/api/v1", line)
            if match:
                url = match.group(1)
                break
        self.assertIsNotNone(url, "vadrel did not start its control interface")
        self.control = Vadrel(url)
        self.gpsd = Gpsd(link)

    def tearDown(self):
        self.gpsd.stop()
        self.vadrel.terminate()  # an orderly shut-down: the port closed, the table saved
        self.vadrel.wait(timeout=10)
        self.vadrel.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_fix_follows_the_vehicle_and_is_lost(self):
        # Genoa's harbour, heading east at 20 knots.
        self.control.set_vehicle(0, posizione="44°24'N 8°56'E", rotta=90, velocita=20, unita="nodi")
        report = self.gpsd.fix(lambda r: r.get("mode", 0) >= 2 and abs(r.get("lat", 0) - 44.4) < 0.01)
        self.assertAlmostEqual(report["lon"], 8.9333, delta=0.01)
        self.assertAlmostEqual(report["speed"], 20 * 1852 / 3600, delta=0.2)  # m/s
        self.assertAlmostEqual(report["track"], 90, delta=1)

        self.control.lose_fix()
        self.gpsd.fix(lambda r: r.get("mode", 0) <= 1)  # no fix

        self.control.regain_fix()
        report = self.gpsd.fix(lambda r: r.get("mode", 0) >= 2)
        self.assertGreater(report["lon"], 8.9333, "the vehicle kept moving east meanwhile")


if __name__ == "__main__":
    unittest.main()
