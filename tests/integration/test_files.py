#!/usr/bin/python3
"""vadrel.cnf and its folder with the real program: a relative folder whose
name is not UTF-8 and a relative link to the port, ended by Ctrl+C; a second
program in the same folder; a kill -9 after a change; vadrel.ini with values
out of range; the save synced before its rename. (A full disk, a read-only
table, a restart from the exact position, what makes a folder refused and a
damaged file's copy: the configuration tests, on real folders.)"""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from vadrel_run import Vadrel

MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'


def table(first):
    return first + EMPTY * 20 + MARKER


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run(binary, folder, *extra, **kwargs):
    """A short headless run; returns the finished process."""
    return subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", *extra],
                          capture_output=True, text=True, errors="replace", timeout=30, **kwargs)


def relative_folder_not_utf8(binary):
    """The stored vehicle is sent; Ctrl+C saves it back and removes the link."""
    top = tempfile.mkdtemp(prefix="vadrel-")
    name = b"tabella-\xe8"
    os.mkdir(os.path.join(top.encode(), name))
    cnf = os.path.join(top.encode(), name, b"vadrel.cnf")
    write(cnf, table(b'45,30,"S",,9,12,"W",0,0,#TRUE#,#FALSE#\r\n'))
    vadrel = Vadrel(binary, "--com", "2=pty:gps0", folder=name, cwd=top)
    link = os.path.join(top, "gps0")
    assert os.path.realpath(link) == vadrel.device, (link, vadrel.device)
    sentence = vadrel.sentence()
    assert ",A,4530.0000,S,00912.0000,W," in sentence, sentence
    assert vadrel.stop(signal.SIGINT) == 0
    assert not os.path.lexists(link), "the link is removed at exit"
    saved = read(cnf)
    assert saved.startswith(b'45,30,"S",,9,12,"W",0,0,#TRUE#,#FALSE#\r\n'), saved[:60]
    assert saved.count(b"\r\n") == 22, saved
    assert sorted(os.listdir(os.path.join(top.encode(), name))) == [b"vadrel.cnf", b"vadrel.pos"]


def second_program_refused(binary):
    first = Vadrel(binary)
    second = run(binary, first.folder, "--durata", "1")
    assert second.returncode == 2, second
    assert "La cartella %s è già usata da un altro vadrel" % first.folder in second.stderr, second.stderr
    assert "$GPRMC" not in second.stdout, second.stdout
    # killed, the first leaves its lock behind: the next run sees nobody holds it
    first.stop(signal.SIGKILL)
    assert os.path.exists(os.path.join(first.folder, "vadrel.lock"))
    third = run(binary, first.folder, "--durata", "1")
    assert third.returncode == 0, third
    assert sorted(os.listdir(first.folder)) == ["vadrel.cnf", "vadrel.pos"], os.listdir(first.folder)


def killed_after_a_change(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-")
    before = table(b'10,0,"N",,20,0,"E",32767,0,#TRUE#,#FALSE#\r\n')
    write(os.path.join(folder, "vadrel.cnf"), before)
    vadrel = Vadrel(binary, folder=folder)
    # The vehicle runs north at 32767 km/h: the file changes within seconds;
    # the save writes vadrel.pos right after it, and a kill between the two
    # would leave that one's temporary.
    deadline = time.monotonic() + 20
    positions = os.path.join(folder, "vadrel.pos")
    while read(vadrel.config_path()) == before or not os.path.exists(positions):
        assert time.monotonic() < deadline, "the changed table was not saved within 20 s"
        assert vadrel.proc.poll() is None
        time.sleep(0.1)
    vadrel.stop(signal.SIGKILL)
    saved = read(vadrel.config_path())
    assert saved.endswith(MARKER) and saved.count(b"\r\n") == 22, saved
    assert not saved.startswith(b"10,0,"), saved[:40]
    assert sorted(os.listdir(folder)) == ["vadrel.cnf", "vadrel.lock", "vadrel.pos"], os.listdir(folder)


def settings_out_of_range(binary):
    """vadrel.ini with values out of range: each named at start-up, what it
    belongs to left off (no TCP server on a default port), the file as it was."""
    folder = tempfile.mkdtemp(prefix="vadrel-")
    ini = os.path.join(folder, "vadrel.ini")
    settings = b"[uscite]\ntcp=true\ntcp_porta=99999\n\n[ricevitore]\nquota=200000\nutc=forse\n"
    write(ini, settings)
    done = run(binary, folder, "--durata", "1")
    assert done.returncode == 0, done
    for named in ('%s: [uscite] tcp_porta vuole un numero da 0 a 65535, non "99999"' % ini,
                  '%s: [ricevitore] quota vuole un numero di metri da -1000 a 100000, non "200000"' % ini,
                  '%s: [ricevitore] utc vuole true o false, non "forse"' % ini):
        assert named in done.stderr, done.stderr
    assert "TCP in ascolto" not in done.stderr, done.stderr
    assert read(ini) == settings


def synced_before_renamed(binary):
    """A save reaches the disk before it takes the table's name: the
    temporary is synced, then renamed over vadrel.cnf, then the folder is
    synced (seen by strace on the real program), so a power cut leaves the
    old table or the new one, never an empty file."""
    folder = tempfile.mkdtemp(prefix="vadrel-")
    trace = os.path.join(folder, "..", os.path.basename(folder) + ".strace")
    done = subprocess.run(["strace", "-f", "-y", "-e", "trace=fsync,fdatasync,rename,renameat,renameat2",
                           "-o", trace, binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty",
                           "--durata", "0.5"], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done
    calls = []
    with open(trace) as f:
        for line in f:
            match = re.search(r"(fsync|fdatasync|rename\w*)\((.*)\)\s+= 0$", line)
            if match:
                calls.append((match.group(1), match.group(2)))
    renamed = [i for i, (call, args) in enumerate(calls)
               if call.startswith("rename") and args.endswith('"vadrel.cnf"')]
    assert renamed, calls
    at = renamed[-1]
    temporary = re.search(r'"(vadrel\.cnf\.tmp-[^"]+)"', calls[at][1]).group(1)
    synced = [i for i, (call, args) in enumerate(calls[:at]) if call in ("fsync", "fdatasync") and temporary in args]
    assert synced, ("the temporary was not synced before its rename", calls)
    assert any(call == "fsync" and args.endswith(folder + ">") for call, args in calls[at + 1:]), \
        ("the folder was not synced after the rename", calls)


def main():
    binary = sys.argv[1]
    cases = [relative_folder_not_utf8, second_program_refused, killed_after_a_change, settings_out_of_range,
             synced_before_renamed]
    # Every folder of the run under one that goes at the end.
    with tempfile.TemporaryDirectory(prefix="vadrel-files-") as top:
        tempfile.tempdir = top
        for case in cases:
            case(binary)
    print("%d passed, 0 failed" % len(cases))


if __name__ == "__main__":
    main()
