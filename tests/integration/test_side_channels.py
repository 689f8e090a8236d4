#!/usr/bin/python3
"""Whatever happens to the headless program's terminal, standard output or
display, the feed goes on and the table is saved: the terminal closing
(SIGHUP), a pipe or terminal that nobody drains, a reader that goes away
after one line, a second run on the same link, a port that cannot be
opened. The radio runs also read the bursts on the port as a client does."""

import fcntl
import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

from vadrel_run import checksum_ok

F_SETPIPE_SZ = 1031
SEP = b"\r\n\x00\x00\x00\x00\x00"
STARTED = []  # every program started, killed at the end if a check left it running


def wait_for(condition, what, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        assert time.monotonic() < deadline, what
        time.sleep(0.02)


def fresh_sentences(link, count, radio=False):
    """Opens the virtual port as a reader does (its line left as it finds it)
    and returns `count` sentences; in radio mode the whole bursts among them
    are checked."""
    wait_for(lambda: os.path.lexists(link), "the link to the virtual port never came")
    fd = os.open(link, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    data = b""
    deadline = time.monotonic() + 15
    try:
        while len(re.findall(rb"\$GPRMC[^\r]*\r\n", data)) < count and time.monotonic() < deadline:
            if select.select([fd], [], [], 0.5)[0]:
                data += os.read(fd, 4096)
    finally:
        os.close(fd)
    sentences = re.findall(rb"\$GPRMC[^\r]*\r\n", data)
    assert len(sentences) >= count, data
    if radio:
        check_bursts(data)
    return sentences


def check_bursts(data):
    """Each burst, byte for byte as sent: seven sentences, each after CR LF and
    five NUL bytes and with its checksum, the fourth the live $GPRMC at the
    start-up position, and the same again after the last; no byte changed by
    the line, none added."""
    whole = data.split(SEP + SEP)[1:-1]
    assert whole, data[:200]
    for burst in whole:
        sentences = burst.split(SEP)
        assert len(sentences) == 7 and all(checksum_ok(s.decode("latin-1")) for s in sentences), sentences
        assert sentences[0].startswith(b"$GPGSV,2,1,") and sentences[3].startswith(b"$GPRMC,"), sentences
        assert b",4402.0000,N,01008.0000,E,0.0,000.0," in sentences[3], sentences[3]
        assert len(burst) + 2 * len(SEP) - len(sentences[3]) == 372, burst


def ended(proc, what, seconds=10):
    """The exit code, once the program has ended in order."""
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(what + ": vadrel did not end")


class Run:
    """vadrel --senza-finestra in a folder of its own, COM 2 virtual behind a link."""

    def __init__(self, binary, stdout, stderr=subprocess.PIPE, extra=(), **popen):
        self.folder = tempfile.mkdtemp(prefix="vadrel-")
        self.link = os.path.join(self.folder, "gps0")
        self.proc = subprocess.Popen([binary, "--senza-finestra", "--cartella", self.folder,
                                      "--com", "2=pty:gps0", *extra],
                                     cwd=self.folder, stdout=stdout, stderr=stderr, **popen)
        STARTED.append(self.proc)

    def saved(self):
        with open(os.path.join(self.folder, "vadrel.cnf"), "rb") as f:
            return f.read().count(b"\r\n") == 22


def terminal_closes(binary):
    """The terminal the program runs in goes away: SIGHUP, an orderly end."""
    folder = tempfile.mkdtemp(prefix="vadrel-")
    pid, master = pty.fork()
    if pid == 0:
        os.execv(binary, [binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty"])
    try:
        seen = b""
        while b"$GPRMC" not in seen:
            seen += os.read(master, 4096)
    except BaseException:
        os.kill(pid, signal.SIGKILL)
        raise
    finally:
        os.close(master)
    _, status = os.waitpid(pid, 0)
    assert os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, status
    assert os.path.getsize(os.path.join(folder, "vadrel.cnf")) > 0


def stdout_not_drained(binary, kind):
    """A full pipe, or a terminal stopped with Ctrl+S: the feed goes on, SIGTERM is heard."""
    if kind == "pipe":
        reader, writer = os.pipe()
        fcntl.fcntl(writer, F_SETPIPE_SZ, 4096)
        fcntl.fcntl(writer, fcntl.F_SETFL, os.O_NONBLOCK)
        try:
            while True:
                os.write(writer, b"x" * 4096)
        except BlockingIOError:
            pass
        fcntl.fcntl(writer, fcntl.F_SETFL, 0)
        run = Run(binary, stdout=writer, extra=("--modo", "radio"))
    else:
        master, writer = pty.openpty()
        attributes = termios.tcgetattr(writer)
        attributes[0] |= termios.IXON
        termios.tcsetattr(writer, termios.TCSANOW, attributes)
        os.write(master, b"\x13")  # Ctrl+S
        run = Run(binary, stdout=writer, stderr=writer, extra=("--modo", "radio"))
    os.close(writer)
    fresh_sentences(run.link, 3, radio=True)
    run.proc.send_signal(signal.SIGTERM)
    assert ended(run.proc, kind) == 0
    assert run.saved()
    if kind == "pipe":
        errors = run.proc.stderr.read().decode()
        assert re.search(r"\d+ righe del monitor scartate", errors), errors
        os.close(reader)
    else:
        os.close(master)


def reader_leaves_after_one_line(binary):
    """vadrel | head -1: the monitor stops, the program and its feed do not."""
    run = Run(binary, stdout=subprocess.PIPE)
    assert run.proc.stdout.readline().startswith(b"COM 2: ")
    run.proc.stdout.close()
    fresh_sentences(run.link, 2)
    assert run.proc.poll() is None
    run.proc.send_signal(signal.SIGTERM)
    assert ended(run.proc, "head -1") == 0
    assert b"standard output \xc3\xa8 chiuso" in run.proc.stderr.read()
    assert run.saved()


def second_run_on_the_same_link(binary):
    """--com 2=pty:gps0, relative: a second run finds the name taken by the
    first one's live port and leaves it; the first removes it at its end."""
    first = Run(binary, stdout=subprocess.DEVNULL)
    fresh_sentences(first.link, 1)
    second = subprocess.run([binary, "--senza-finestra", "--cartella", tempfile.mkdtemp(),
                             "--com", "2=pty:gps0"], cwd=first.folder, capture_output=True, timeout=15)
    assert second.returncode == 1, second
    assert b"in uso da un altro programma" in second.stderr, second.stderr
    fresh_sentences(first.link, 1)
    first.proc.send_signal(signal.SIGTERM)
    assert ended(first.proc, "first run") == 0
    assert not os.path.lexists(first.link), "the link goes with the program"


def port_not_there(binary):
    """A port that cannot be opened: its path and the system's reason on
    standard error and on each monitor line."""
    missing = os.path.join(tempfile.mkdtemp(), "ttyUSB9")
    run = Run(binary, stdout=subprocess.PIPE, extra=("--com", "3=" + missing, "--porta", "3"))
    reason = missing + ": il file o la cartella non esiste"
    line = run.proc.stdout.readline()
    while line.startswith(b"COM"):
        line = run.proc.stdout.readline()
    run.proc.send_signal(signal.SIGTERM)
    assert ended(run.proc, "port") == 0
    assert line.decode().strip() == "[non inviato: porta inesistente: " + reason + "]", line
    assert "porta No Tx: porta inesistente: " + reason in run.proc.stderr.read().decode()


def main():
    binary = sys.argv[1]
    checks = [terminal_closes, lambda b: stdout_not_drained(b, "pipe"),
              lambda b: stdout_not_drained(b, "terminal"), reader_leaves_after_one_line,
              second_run_on_the_same_link, port_not_there]
    try:
        for check in checks:
            check(binary)
    finally:
        for proc in STARTED:
            if proc.poll() is None:
                proc.kill()
    print("%d passed, 0 failed" % len(checks))


if __name__ == "__main__":
    main()
