#!/usr/bin/python3
"""The headless program as a script or an operator runs it: bad options,
the stored table, the link to the virtual port, Ctrl+C."""

import os
import signal
import subprocess
import sys
import tempfile

from vadrel_run import Vadrel

MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'


def main():
    binary = sys.argv[1]

    # a bad option: an Italian message, exit code 2, nothing written
    folder = tempfile.mkdtemp(prefix="vadrel-")
    bad = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--baud", "1200"],
                         capture_output=True, text=True, timeout=30)
    assert bad.returncode == 2, bad
    assert "--baud vuole 2400, 4800 o 9600" in bad.stderr, bad.stderr
    assert os.listdir(folder) == [], os.listdir(folder)

    # the stored table: vehicle 0 at 45 30 S 9 12 W is sent, and Ctrl+C saves it back
    table = b'45,30,"S",,9,12,"W",0,0,#TRUE#,#FALSE#\r\n' + EMPTY * 20 + MARKER
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(table)
    link = os.path.join(folder, "gps0")
    vadrel = Vadrel(binary, "--com", "2=pty:" + link, folder=folder)
    assert os.path.realpath(link) == vadrel.device, (link, vadrel.device)
    sentence = vadrel.sentence()
    code = vadrel.stop(signal.SIGINT)
    assert ",A,4530.0000,S,00912.0000,W," in sentence, sentence
    assert code == 0, code
    assert not os.path.lexists(link), "the link is removed at exit"
    with open(vadrel.config_path(), "rb") as f:
        saved = f.read()
    assert saved.startswith(b'45,30,"S",,9,12,"W",0,0,#TRUE#,#FALSE#\r\n'), saved[:60]
    assert saved.count(b"\r\n") == 22, saved

    # a user outside the group dialout cannot give it the virtual ports: said once
    if os.geteuid() == 0 and subprocess.run(["id", "nobody"], capture_output=True).returncode == 0:
        theirs = tempfile.mkdtemp(prefix="vadrel-")
        os.chmod(theirs, 0o777)
        alone = subprocess.run([binary, "--senza-finestra", "--cartella", theirs, "--com", "1=pty",
                                "--com", "2=pty", "--durata", "0.5"], user="nobody", group="nogroup",
                               extra_groups=[], capture_output=True, text=True, timeout=30)
        assert alone.stderr.count("non può passare al gruppo dialout") == 1, alone.stderr
        assert alone.returncode == 0, alone
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
