"""Starting the real vadrel program for the end-to-end tests."""

import os
import re
import signal
import subprocess
import tempfile
import time


class Vadrel:
    """vadrel --senza-finestra on a virtual COM 2, in a folder of its own."""

    def __init__(self, binary, *extra, folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="vadrel-")
        self.proc = subprocess.Popen(
            [binary, "--senza-finestra", "--cartella", self.folder, "--com", "2=pty", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)
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

    def stop(self, sig=signal.SIGTERM):
        """Asks for the orderly shut-down and returns the exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=15)
        finally:
            self.proc.stdout.close()
            self.proc.stderr.close()

    def config_path(self):
        return os.path.join(self.folder, "vadrel.cnf")
