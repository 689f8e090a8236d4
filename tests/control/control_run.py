"""The control interface with a fake simulator (control_test_server), and a
tally of checks, for the Python tests of this folder."""

import json
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "python"))
sys.path.insert(0, os.path.join(here, "..", "integration"))

from vadrel_run import Checks  # noqa: E402,F401  (the tally, for the tests of this folder)


class TestServer:
    def __init__(self, binary, *args):
        self.proc = subprocess.Popen([binary, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline()
        if not line.startswith("porta "):
            self.stop()
            raise RuntimeError("control_test_server did not start: %r" % line)
        self.port = int(line.split()[1])
        self.routes = {(r["metodo"], r["percorso"]) for r in json.loads(self.proc.stdout.readline())}
        self.url = "http://127.0.0.1:%d" % self.port

    def stop(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

