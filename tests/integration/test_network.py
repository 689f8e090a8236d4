#!/usr/bin/python3
"""The real program feeding a room of network clients beside its virtual
serial port: 200 TCP clients and a UDP target get exactly the serial port's
bytes every second, while a client that never reads, one that sends 100 MB
and one that connects and resets in a loop change none of that and the
program's memory stays flat. Then what an operator gets wrong: bad values,
a port already taken by a second instance, a network that cannot be reached."""

import os
import re
import selectors
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from vadrel_run import Vadrel

CLIENTS = 200
TICKS = 8


def sentences(data):
    """Whole sentences, each with its CR LF; anything else is a failure."""
    assert data.endswith(b"\r\n"), data[-80:]
    lines = data.split(b"\r\n")[:-1]
    assert all(re.fullmatch(rb"\$GPRMC,\d{6},A,[^*]*\*[0-9A-F]{2}", line) for line in lines), lines
    return lines


def flood(port, stop):
    """Sends 100 MB, or as much as vadrel takes before the end."""
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(0.2)
        chunk, left = b"z" * 65536, 100 * 1024 * 1024
        while left > 0 and not stop.is_set():
            try:
                left -= s.send(chunk[:left])
            except socket.timeout:
                pass
            except OSError:
                return


def reset_in_a_loop(port, stop, count):
    while not stop.is_set():
        s = socket.create_connection(("127.0.0.1", port))
        s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        s.close()
        count[0] += 1


def room_of_clients(binary):
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind(("127.0.0.1", 0))
    vadrel = Vadrel(binary, "--tcp", "0", "--tcp-max", str(CLIENTS + 10),
                    "--udp", "127.0.0.1:%d" % udp.getsockname()[1])
    port = vadrel.tcp_port()
    serial = os.open(vadrel.device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    clients = [socket.create_connection(("127.0.0.1", port)) for _ in range(CLIENTS)]
    sleeper = socket.create_connection(("127.0.0.1", port))  # never reads
    stop, resets = threading.Event(), [0]
    nasty = [threading.Thread(target=flood, args=(port, stop)),
             threading.Thread(target=reset_in_a_loop, args=(port, stop, resets))]
    for thread in nasty:
        thread.start()

    received = {c.fileno(): b"" for c in clients}
    serial_bytes, datagrams, memory = b"", [], []
    selector = selectors.DefaultSelector()
    for c in clients:
        c.setblocking(False)
        selector.register(c, selectors.EVENT_READ)
    selector.register(serial, selectors.EVENT_READ)
    selector.register(udp, selectors.EVENT_READ)
    deadline = time.monotonic() + TICKS + 20
    try:
        while serial_bytes.count(b"\r\n") < TICKS and time.monotonic() < deadline:
            for key, _ in selector.select(timeout=1):
                if key.fileobj is serial:
                    serial_bytes += os.read(serial, 4096)
                    if serial_bytes.count(b"\r\n") in (3, TICKS - 1):
                        memory.append(vadrel.memory_kb())
                elif key.fileobj is udp:
                    datagrams.append(udp.recv(4096))
                else:
                    received[key.fileobj.fileno()] += key.fileobj.recv(65536)
    finally:
        stop.set()
        for thread in nasty:
            thread.join(timeout=10)
        code = vadrel.stop()
        os.close(serial)
    # every client and the UDP target got the serial port's sentences, each
    # whole, in order, none missing, from the first tick after it was there
    # (the last tick may still be on its way when the reading stops)
    reference = sentences(serial_bytes)
    assert len(reference) >= TICKS, reference
    streams = [(fd, data) for fd, data in received.items()]
    streams.append(("udp", b"".join(datagrams)))
    assert all(len(sentences(d)) == 1 for d in datagrams), datagrams
    for name, data in streams:
        got = sentences(data)
        start = got.index(reference[0]) if reference[0] in got else 0
        first = reference.index(got[start])
        assert got[start:] == reference[first:first + len(got) - start], (name, got, reference)
        assert len(got) - start >= TICKS - 2, (name, len(got), start)
    assert resets[0] > 10, resets
    assert memory[-1] - memory[0] < 1024, "memory grew from %d to %d KB" % tuple(memory[::len(memory) - 1])
    assert code == 0, code
    print("%d clients, %d ticks; %d resets; memory %d -> %d KB" %
          (CLIENTS, len(reference), resets[0], memory[0], memory[-1]))
    sleeper.close()


def mistakes(binary):
    # bad values: an Italian message that names the option, exit code 2,
    # nothing written (the options' tests have every value)
    folder = tempfile.mkdtemp(prefix="vadrel-")
    for value in [["--tcp", "::1:10110"], ["--udp", "10110"], ["--baud", "1200"]]:
        bad = subprocess.run([binary, "--senza-finestra", "--cartella", folder, *value],
                             capture_output=True, text=True, timeout=30)
        assert bad.returncode == 2, (value, bad)
        assert bad.stderr.startswith("vadrel: " + value[0]), bad.stderr
    assert os.listdir(folder) == [], os.listdir(folder)

    # vadrel.ini switches the server on; a second instance on its port says
    # so and its serial port runs on; the command line switches the server
    # off for one run
    ini = os.path.join(folder, "vadrel.ini")
    with open(ini, "w") as f:
        f.write("[uscite]\ntcp=true\ntcp_porta=0\n")
    first = Vadrel(binary, folder=folder)
    port = first.tcp_port()
    second = Vadrel(binary, "--tcp", str(port))
    second.said(r"TCP 127\.0\.0\.1:%d non attivo: indirizzo già in uso" % port)
    line = second.proc.stdout.readline()
    assert line.startswith("$GPRMC") and "[TCP 127.0.0.1:%d: indirizzo già in uso" % port in line, line
    assert first.stop() == 0 and second.stop() == 0
    off = Vadrel(binary, "--tcp", "no", folder=folder)
    said = []
    for line in off.proc.stderr:
        said.append(line)
        if line.startswith("vadrel: porta"):
            break
    assert off.stop() == 0 and not any("TCP" in line for line in said), said
    with open(ini) as f:
        assert f.read() == "[uscite]\ntcp=true\ntcp_porta=0\n", "the runs leave the file as they found it"

    # a network that cannot be reached: said on the monitor line, the rest goes on
    if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("ip"):
        print("no network namespace here: the unreachable target is not tried")
        return
    shell = "ip link set lo up && exec \"$0\" \"$@\""
    alone = Vadrel(binary, "--udp", "192.0.2.1:10110", prefix=["unshare", "-n", "sh", "-c", shell])
    alone.said(r"UDP verso 192\.0\.2\.1:10110: rete irraggiungibile")
    serial = os.open(alone.device, os.O_RDWR | os.O_NOCTTY)
    line = alone.proc.stdout.readline()
    assert line.startswith("$GPRMC") and line.rstrip().endswith("[UDP 192.0.2.1:10110: rete irraggiungibile]"), line
    assert os.read(serial, 4096).startswith(b"$GPRMC")
    os.close(serial)
    assert alone.stop() == 0


def named_target(binary):
    """--udp localhost:PORT reaches a listener on IPv4 alone, whether the
    name has ::1 first (Debian's /etc/hosts) or only 127.0.0.1: each layout
    in a mount namespace of its own, over /etc/hosts."""
    layouts = {"::1 first": "::1 localhost\n127.0.0.1 localhost\n",
               "IPv4 only": "127.0.0.1 localhost\n"}
    can_mount = os.geteuid() == 0 and shutil.which("unshare")
    if not can_mount:
        print("no mount namespace here: the name is tried with this machine's /etc/hosts only")
        layouts = {"this machine": None}
    for name, hosts in layouts.items():
        prefix = []
        if hosts is not None:
            path = os.path.join(tempfile.mkdtemp(prefix="vadrel-hosts-"), "hosts")
            with open(path, "w") as f:
                f.write(hosts)
            prefix = ["unshare", "-m", "sh", "-c", 'mount --bind "$0" /etc/hosts && exec "$@"', path]
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as listener:
            listener.bind(("127.0.0.1", 0))
            listener.settimeout(10)
            vadrel = Vadrel(binary, "--udp", "localhost:%d" % listener.getsockname()[1], prefix=prefix)
            try:
                address = vadrel.said(r"UDP verso localhost:\d+ \((.*)\)").group(1)
                assert address == "127.0.0.1", (name, address)
                datagram = listener.recv(4096)
            finally:
                code = vadrel.stop()
        assert datagram.startswith(b"$GPRMC"), (name, datagram)
        assert code == 0, (name, code)


def main():
    binary = sys.argv[1]
    room_of_clients(binary)
    mistakes(binary)
    named_target(binary)
    print("3 passed, 0 failed")


if __name__ == "__main__":
    main()
