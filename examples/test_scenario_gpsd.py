"""How a team plays a scenario against gpsd in its CI: an hour's voyage
(voyage.yaml) at x600, fed to gpsd by vadrel's TCP output, and what gpsd's
client saw asserted: the fix lost between two events, the course and speed
after the turn, the leap second passed. Written with the standard library
(unittest; pytest runs it as it is); about ten seconds.

    VADREL=/usr/bin/vadrel python3 -m pytest examples/test_scenario_gpsd.py

The scenario is sent through the control interface once gpsd reads the
output, so that no simulated minute goes by unseen. Needs vadrel, gpsd
(Debian: gpsd) and python/vadrel_client.py.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "python"))
from test_ci_gpsd import Gpsd, VADREL  # noqa: E402
from vadrel_client import Vadrel  # noqa: E402


def minutes_after_start(report):
    """Minutes since the voyage's start (23:30) of a TPV, from its time."""
    hour, minute, second = (float(x) for x in report["time"][11:19].split(":"))
    return ((hour * 60 + minute + second / 60) - 23 * 60 - 30) % (24 * 60)


class VoyageThroughGpsd(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="vadrel-voyage-")
        self.vadrel = subprocess.Popen(
            [VADREL, "--senza-finestra", "--cartella", self.folder, "--tcp", "127.0.0.1:0",
             "--controllo", "127.0.0.1:0"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        said = {}
        for line in self.vadrel.stderr:
            for name, pattern in (("tcp", r"TCP in ascolto su (127\.0\.0\.1:\d+)"),
                                  ("url", r"in ascolto su (http://\S+)/api/v1")):
                match = re.search(pattern, line)
                if match:
                    said[name] = match.group(1)
            if len(said) == 2:
                break
        self.assertEqual(len(said), 2, "vadrel did not say its TCP output and control interface")
        self.control = Vadrel(said["url"])
        self.gpsd = Gpsd("tcp://" + said["tcp"])

    def tearDown(self):
        self.gpsd.stop()
        if self.vadrel.poll() is None:
            self.vadrel.terminate()
        self.vadrel.wait(timeout=10)
        self.vadrel.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def voyage(self):
        """Plays voyage.yaml; gpsd's TPV reports of it and the sentences it relayed."""
        self.gpsd.fix(lambda r: r.get("mode", 0) >= 2)  # gpsd reads the output
        # From here the JSON reports and the sentences themselves.
        self.gpsd.socket.sendall(b'?WATCH={"enable":true,"json":true,"raw":1};\n')
        with open(os.path.join(HERE, "voyage.yaml"), "rb") as f:
            self.control.play_scenario(f.read())
        reports, sentences = [], []
        self.gpsd.socket.settimeout(3)  # the hour is over when nothing more comes
        try:
            for line in self.gpsd.file:
                if line.startswith("$"):
                    sentences.append(line.strip())
                elif line.startswith("{"):
                    report = json.loads(line)
                    if report.get("class") == "TPV" and report.get("time", "").startswith(("2030-06-30T23",
                                                                                             "2030-07-01")):
                        reports.append(report)
        except OSError:
            pass
        self.vadrel.wait(timeout=30)  # the scenario's end ends the program in order
        return reports, sentences

    def test_the_voyage_as_gpsd_saw_it(self):
        reports, sentences = self.voyage()
        self.assertGreater(len(reports), 600, "gpsd reported most of the hour")
        at = lambda low, high: [r for r in reports if low <= minutes_after_start(r) < high]  # noqa: E731

        # The fix lost between the events at 10 and 12 minutes, there before and after.
        self.assertTrue(all(r["mode"] <= 1 for r in at(10.1, 11.9)), "no fix between the events")
        self.assertTrue(at(10.1, 11.9), "gpsd reported the minutes without a fix")
        self.assertTrue(all(r["mode"] == 3 for r in at(1, 9.9) + at(12.1, 19.9)))

        # South at 12 knots, then west at 20 after the turn at 20 minutes.
        for r in at(1, 9.9):
            self.assertAlmostEqual(r["track"], 180, delta=1)
            self.assertAlmostEqual(r["speed"], 12 * 1852 / 3600, delta=0.1)
        after = at(20.1, 60)
        self.assertGreater(len(after), 300)
        for r in after:
            self.assertAlmostEqual(r["track"], 270, delta=1)
            self.assertAlmostEqual(r["speed"], 20 * 1852 / 3600, delta=0.1)

        # The leap second: 23:59:60 in the sentences gpsd relayed, and its
        # reports on into 1 July without a step back.
        self.assertTrue(any(re.match(r"\$GP(RMC|GGA|ZDA),235960", s) for s in sentences), "no 23:59:60")
        times = [r["time"] for r in reports]
        self.assertEqual(times, sorted(times), "gpsd's times never go back")
        self.assertTrue(times[-1].startswith("2030-07-01T00:"), times[-1])


if __name__ == "__main__":
    unittest.main()
