#!/usr/bin/python3
"""The control interface of the real program: vehicles set on the command
line and through PATCH in every position form, each change in the next
sentence on the virtual port; the state; the events' WebSocket; hostile
clients that leave the tick alone; another address without its key; a log
replayed that refuses changes; the changes kept in vadrel.cnf at exit."""

import os
import re
import select
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, each_line, nmea_degrees  # noqa: E402


class Port:
    """The virtual port, held open: the sentences that come after a moment."""

    def __init__(self, device):
        self.fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)

    def drain(self):
        """Drops what the port holds: it was written before now."""
        while select.select([self.fd], [], [], 0)[0]:
            if not os.read(self.fd, 65536):
                break

    def next_rmc(self, seconds=4):
        """The first whole $GPRMC written after drain(), as its fields."""
        data, deadline = b"", time.monotonic() + seconds
        while time.monotonic() < deadline:
            if select.select([self.fd], [], [], 0.2)[0]:
                data += os.read(self.fd, 65536)
            match = re.search(rb"(?:^|\n)(\$GPRMC,[^\r]*)\r\n", data)
            if match:
                return match.group(1).decode("ascii").split("*")[0].split(",")
        raise AssertionError("no $GPRMC within %d s: %r" % (seconds, data[-200:]))

    def arrivals(self, seconds):
        """The monotonic times at which sentences began arriving, for that long."""
        times, deadline = [], time.monotonic() + seconds
        while time.monotonic() < deadline:
            if select.select([self.fd], [], [], 0.05)[0]:
                chunk = os.read(self.fd, 65536)
                if b"$GPRMC" in chunk:
                    times.append(time.monotonic())
        return times

    def close(self):
        os.close(self.fd)


def raw_reply(port, data, timeout=5):
    """The status of the reply to raw bytes sent on a connection of their own."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        try:
            s.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            pass
        reply = b""
        while b"\r\n" not in reply:
            chunk = s.recv(4096)
            if not chunk:
                break
            reply += chunk
    return int(reply.split(b" ", 2)[1]) if reply.startswith(b"HTTP/1.1 ") else 0


def raw_exchange(port, data, timeout=5):
    """Everything the server sends back to raw bytes until it closes the
    connection, and whether it closed it within the timeout."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(data)
        reply, deadline = b"", time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                chunk = s.recv(65536)
            except socket.timeout:
                break
            except ConnectionResetError:
                return reply, True
            if not chunk:
                return reply, True
            reply += chunk
    return reply, False


def ping_flood(port, seconds):
    """A WebSocket client of the events that sends pings and never reads, on
    a small receive buffer: how long the server took to close it (None when
    it did not within `seconds`) and the pings sent."""
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.sendall(b"GET /api/v1/eventi HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
              b"Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
              b"Sec-WebSocket-Version: 13\r\n\r\n")
    head = b""
    while b"\r\n\r\n" not in head:
        head += s.recv(1)
    if b" 101 " not in head.split(b"\r\n")[0]:
        raise AssertionError("no upgrade: %r" % head)
    # A masked ping with 125 bytes of payload (the most a ping carries), many at a time.
    mask = b"\x01\x02\x03\x04"
    payload = bytes(b ^ mask[i % 4] for i, b in enumerate(b"p" * 125))
    burst = (b"\x89" + bytes([0x80 | 125]) + mask + payload) * 500
    s.settimeout(1)
    sent, start = 0, time.monotonic()
    try:
        while time.monotonic() - start < seconds:
            try:
                s.sendall(burst)
                sent += 500
            except socket.timeout:
                pass  # the server reads no more, for now
    except (BrokenPipeError, ConnectionResetError):
        return time.monotonic() - start, sent
    finally:
        s.close()
    return None, sent


def status_of(call):
    try:
        call()
        return 200
    except VadrelError as e:
        return e.status


def ais_targets_in_use(binary, checks):
    """With --ais --mezzi 4 four vehicles move and send: the state says so
    and why, the events carry the four, the targets' !AIVDM go out and a
    target moves; a change of mode keeps them, one that asks for a number
    takes it."""
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--ais", "--mezzi", "4",
                    "--velocita-mezzo", "2=40", "--rotta", "2=90")
    port = Port(vadrel.device)
    try:
        client = Client(vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1))

        def in_use():
            state = client.state()
            return state["mezzi_in_uso"], state["mezzi_mobili"], [v["in_uso"] for v in state["mezzi"][:5]]

        targets = [["attuale"], ["bersaglio AIS"], ["bersaglio AIS"], ["bersaglio AIS"], []]
        checks.expect(in_use() == (4, 4, targets), "--ais --mezzi 4: four in use, and why: %r" % (in_use(),))
        lon = client.vehicle(2)["lon"]
        port.drain()
        # A vehicle's first step only starts its clock: two seconds at least.
        data, start = b"", time.monotonic()
        while (b"!AIVDM" not in data or time.monotonic() < start + 2.5) and time.monotonic() < start + 8:
            if select.select([port.fd], [], [], 0.2)[0]:
                data += os.read(port.fd, 65536)
        checks.expect(b"!AIVDM" in data, "the targets go out on the port: %r" % data[-300:])
        checks.expect(client.vehicle(2)["lon"] > lon, "target 2 moves east")

        for mode, vehicles, wanted in (("gps", None, (4, 4, targets)),
                                       ("radio", None, (4, 4, targets)),
                                       ("multi", None, (4, 4, [["attuale", "ciclo"], ["ciclo"], ["ciclo"],
                                                               ["ciclo"], []])),
                                       ("gps", None, (4, 4, targets)),
                                       ("gps", 2, (2, 2, targets[:2] + [[], [], []]))):
            reply = client.set_mode(mode, vehicles)
            checks.expect((reply["mezzi"], reply["mezzi_mobili"]) == wanted[:2],
                          "PUT modo %s %s answers %r" % (mode, vehicles, reply))
            checks.expect(in_use() == wanted, "after PUT modo %s %s: %r" % (mode, vehicles, in_use()))
            if mode == "gps" and vehicles is None:
                with client.events(timeout=5) as events:
                    second = events.next(timeout=3)
                checks.expect([(v["numero"], v["in_uso"]) for v in second["mezzi"]] == list(enumerate(targets[:4])),
                              "the events carry the four: %r" % second["mezzi"])
    finally:
        port.close()
        vadrel.finish()


def serial_link(binary, checks):
    """PUT /api/v1/porta moves the sentences from COM 2 to COM 3, a virtual
    port of its own, at the speed asked; a COM the system will not open is
    shown closed with its reason; GET shows each."""
    missing = os.path.join(tempfile.mkdtemp(prefix="vadrel-missing-"), "ttyNONE")
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--com", "3=pty", "--com", "4=" + missing)
    com3 = None
    while com3 is None:
        line = vadrel.proc.stdout.readline()
        match = re.match(r"COM 3: (\S+)", line)
        if not line or match:
            com3 = match.group(1) if match else ""
    client = Client(vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1))
    first, second = Port(vadrel.device), Port(com3)
    try:
        before = client.serial_port()
        checks.expect((before["numero"], before["baud"], before["aperta"], before["stato"]) == (2, 4800, True, "Tx ok"),
                      "COM 2 open at start-up: %r" % before)
        moved = client.set_serial_port(numero=3, baud=9600)
        checks.expect((moved["numero"], moved["baud"], moved["aperta"], moved["errore"]) == (3, 9600, True, "") and
                      moved["dispositivo"].startswith(com3), "PUT moves the link to COM 3: %r" % moved)
        second.drain()
        first.drain()
        rmc = second.next_rmc()
        checks.expect(rmc[0] == "$GPRMC", "the sentences on COM 3's virtual port")
        try:
            first.next_rmc(seconds=2)
            checks.expect(False, "COM 2 no longer sends")
        except AssertionError:
            checks.expect(True, "COM 2 no longer sends")
        shown = client.serial_port()
        checks.expect(shown == moved, "GET shows the link as PUT left it: %r" % shown)
        failed = client.set_serial_port(numero=4)
        checks.expect(failed["numero"] == 0 and not failed["aperta"] and missing in failed["errore"] and
                      failed["stato"] == "No tx", "a COM that will not open, shown closed with why: %r" % failed)
        checks.expect(status_of(lambda: client.set_serial_port(baud=2400)) == 400,
                      "a speed alone while no port is open: 400")
        checks.expect(status_of(lambda: client.set_serial_port(numero=5)) == 400, "COM 5: 400")
        again = client.set_serial_port(numero=3)
        checks.expect(again["aperta"] and again["baud"] == 9600, "COM 3 again, at the speed of the line: %r" % again)
    finally:
        first.close()
        second.close()
    code, said, _ = vadrel.finish()
    checks.expect(code == 0 and "porta No Tx: " in said, "orderly end, the failed port said: %d %s" % (code, said[-300:]))


class TcpArrivals:
    """A reader of the TCP output on a thread of its own: each $GPRMC's
    arrival after its wall-clock second (ms), with the second it came in."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.settimeout(None)
        self.seen = []  # (whole second of arrival, ms after it)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        def take(sentence, now):
            if b"$GPRMC" in sentence:  # after "@N" in multi-user mode
                self.seen.append((int(now), (now - int(now)) * 1000.0))
        each_line(self.sock, take)

    def offset_in(self, second):
        return next((ms for whole, ms in self.seen if whole == second), None)

    def close(self):
        self.sock.close()
        self.thread.join(5)


def late_in_second():
    """Sleeps to 0.8 s into the next wall-clock second; that second. A loop
    held from there for half a second or more makes the next sentence late."""
    now = time.time()
    second = int(now) + 1
    time.sleep(second + 0.8 - now)
    return second


def first_requests(binary, checks):
    """Each kind of request, the first of its kind in the run and again later,
    sent late in a second: the sentences of the next two seconds arrive on the
    TCP output as in the seconds without a request. The bound is far above a
    loaded machine's few tens of ms and far below a stalled loop's."""
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--tcp", "127.0.0.1:0")
    tcp = vadrel.tcp_port()  # said before the control interface
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    client = Client(url)
    reader = TcpArrivals(tcp)
    bound_ms = 300
    try:
        # The table's first save comes a few seconds after start: the
        # requests go after it, so that only they are measured.
        deadline = time.monotonic() + 15
        while not vadrel.table_saved() and time.monotonic() < deadline:
            time.sleep(0.1)
        # name, the request: each kind twice, the first time the first of the run
        kinds = [("state", client.state),
                 ("vehicle", lambda: client.vehicle(3)),
                 ("change", lambda: client.set_vehicle(3, rotta=45)),
                 ("refused", lambda: status_of(lambda: client.set_vehicle(3, rotta=999))),
                 ("events", lambda: client.events(timeout=2).close())]
        late = []
        for round_ in ("first", "again"):
            for name, call in kinds:
                second = late_in_second()
                call()
                time.sleep(second + 2.6 - time.time())
                for after in (second + 1, second + 2):
                    offset = reader.offset_in(after)
                    if offset is None or offset > bound_ms:
                        late.append("%s %s: %s" % (round_, name, offset))
        quiet = [ms for _, ms in reader.seen]
        checks.expect(not late, "the sentence after each request within %d ms of its second: late %r; "
                      "all arrivals (ms) %r" % (bound_ms, late, ["%.0f" % ms for ms in quiet]))
    finally:
        reader.close()
        vadrel.finish()


def slow_disk(binary, checks):
    """A disk that holds each fsync 350 ms, as one busy with other writers
    does (strace delays the calls): the table's saves after start-up and
    after a change take 1.4 s each, two moving vehicles' routes their progress
    every few seconds (0.7 s each), and every second has its sentence."""
    if shutil.which("strace") is None:
        print("SKIP slow disk: no strace")
        return
    held = ["strace", "-f", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:delay_exit=350000"]
    try:
        route = os.path.join(tempfile.mkdtemp(prefix="vadrel-route-"), "rotta.csv")
        with open(route, "w") as f:
            f.write("lat,lon\n44.0,10.0\n44.5,10.5\n45.0,11.0\n")
        vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--tcp", "127.0.0.1:0", "--durata", "16",
                        "--percorso", "1=" + route, "--percorso", "2=" + route, "--velocita-mezzo", "1=100",
                        "--velocita-mezzo", "2=100", "--modo", "multi", "--mezzi", "3", prefix=held)
    except RuntimeError as e:
        print("SKIP slow disk: strace cannot trace here (%s)" % str(e)[:200])
        return
    tcp = vadrel.tcp_port()
    client = Client(vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1))
    reader = TcpArrivals(tcp)
    try:
        deadline = time.monotonic() + 15
        while not vadrel.table_saved() and time.monotonic() < deadline:
            time.sleep(0.1)
        # A vehicle off the routes: a route given or taken away waits for an
        # autosave still writing.
        client.set_vehicle(0, rotta=123)
        # The autosave after the change, while the program runs.
        first, deadline = "", time.monotonic() + 9
        while ",123," not in first and time.monotonic() < deadline:
            time.sleep(0.2)
            with open(vadrel.config_path(), "rb") as f:
                first = f.readline().decode("latin-1")
        checks.expect(",123," in first, "the change saved within the autosave's round: %r" % first)
        vadrel.proc.wait(timeout=40)
    finally:
        reader.close()
        vadrel.finish()
    seconds = sorted(whole for whole, _ in reader.seen)
    missing = [s for s in range(seconds[0], seconds[-1]) if s not in seconds] if seconds else ["none at all"]
    checks.expect(len(seconds) >= 10 and not missing,
                  "a sentence every second while the saves wait for the disk: %d seen, missing %r"
                  % (len(seconds), [time.strftime("%H:%M:%S", time.localtime(s)) for s in missing]))


def main(binary):
    checks = Checks()
    ais_targets_in_use(binary, checks)


    first_requests(binary, checks)
    slow_disk(binary, checks)

    # Refused on the command line: the panel's reason, exit code 2, nothing started.
    for args, reason in ((["--rotta", "3=400"], "la rotta va da 0 a 360 gradi, non 400"),
                         (["--mezzo", "1=a casa"], "--mezzo 1=a casa: "),
                         (["--velocita-mezzo", "0=99999 nodi"], "--velocita-mezzo 0=99999 nodi: ")):
        run = subprocess.run([binary, "--senza-finestra", *args], capture_output=True, text=True, timeout=20)
        checks.expect(run.returncode == 2 and reason in run.stderr,
                      "%s refused with code 2 and %r: %d %r" % (args, reason, run.returncode, run.stderr))

    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--utc", "--moto-reale",
                    "--mezzo", "1=10°30'N 20°15'W", "--rotta", "1=45", "--velocita-mezzo", "1=12,5nodi")
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    api_port = int(url.rsplit(":", 1)[1])
    client = Client(url)
    port = Port(vadrel.device)
    try:
        one = client.vehicle(1)
        checks.expect((one["lat"], one["lon"], one["rotta"], one["velocita"], one["unita"]) ==
                      (10.5, -20.25, 45, 12.5, "nodi"), "the command line set vehicle 1: %r" % one)

        # Each position form, then course and speed, in the next sentence.
        forms = [({"posizione": "44°24'N 8°56'E"}, 44.4, 8.9333),
                 ({"posizione": "45 30 0 N 9 12 0 E"}, 45.5, 9.2),
                 ({"posizione": "4530.000,N,00912.000,E"}, 45.5, 9.2),
                 ({"posizione": "-33,8568 151,2153"}, -33.8568, 151.2153),
                 ({"posizione": "45 30,5 N"}, 45.5083, 151.2153),  # the latitude alone
                 ({"lat": -12.5, "lon": -77.25}, -12.5, -77.25),
                 ({"lon": 0.5}, -12.5, 0.5)]
        for fields, lat, lon in forms:
            client.set_vehicle(0, **fields)
            port.drain()
            rmc = port.next_rmc()
            got = (nmea_degrees(rmc[3], rmc[4]), nmea_degrees(rmc[5], rmc[6]))
            checks.expect(abs(got[0] - lat) < 1e-3 and abs(got[1] - lon) < 1e-3,
                          "%r in the next $GPRMC as %r: %r" % (fields, (lat, lon), rmc))
        client.set_vehicle(0, rotta=90, velocita=20, unita="nodi")
        port.drain()
        rmc = port.next_rmc()
        checks.expect((rmc[7], rmc[8]) == ("20.0", "090.0"), "course and speed in the next $GPRMC: %r" % rmc)

        state = client.state()
        checks.expect(state["modo"] == "gps" and state["trasmissione"] is True and len(state["mezzi"]) == 21 and
                      state["porta"]["numero"] == 2 and state["porta"]["aperta"] and
                      state["ricevitore"]["utc"] is True and state["mezzi"][0]["rotta"] == 90,
                      "the state: %r" % {k: state[k] for k in state if k != "mezzi"})

        with client.events(timeout=5) as events:
            second = events.next(timeout=3)
        checks.expect(second["inviati"].startswith("$GPRMC") and second["byte"] == len(second["inviati"]) and
                      [v["numero"] for v in second["mezzi"]] == [0],
                      "a second of the events: %r" % second)

        # Hostile requests get their codes.
        for name, call, wanted in (
                ("a refused course", lambda: client.set_vehicle(0, rotta=400), 400),
                ("a path as a position", lambda: client.set_vehicle(0, posizione="../../etc/passwd"), 400),
                ("bad JSON", lambda: client.request("PATCH", "/api/v1/mezzi/0", b"{rotta:"), 415),
                ("no such vehicle", lambda: client.vehicle(21), 404),
                ("a method not served", lambda: client.request("DELETE", "/api/v1/stato"), 405)):
            checks.expect(status_of(call) == wanted, "%s: %d" % (name, wanted))
        big = b"PATCH /api/v1/mezzi/0 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" \
              b"Content-Length: 10485760\r\n\r\n" + b" " * (10 * 1024 * 1024)
        checks.expect(raw_reply(api_port, big) == 413, "a 10 MB body: 413")
        checks.expect(client.vehicle(0)["rotta"] == 90, "nothing refused changed the vehicle")

        # Requests that a reader could take two ways, and the closing of HTTP/1.0.
        two_lengths = b"PATCH /api/v1/mezzi/0 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" \
                      b"Content-Length: 12\r\nContent-Length: 200000\r\n\r\n{\"rotta\": 1}"
        reply, closed = raw_exchange(api_port, two_lengths)
        checks.expect(reply.startswith(b"HTTP/1.1 400") and b"Content-Length" in reply.split(b"\r\n\r\n", 1)[1] and
                      closed, "Content-Length twice with two values: 400 and closed: %r" % reply[:300])
        reply, closed = raw_exchange(api_port, b"PROPFIND\x1b[2J /api/v1/stato HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        checks.expect(reply.startswith(b"HTTP/1.1 405") and b"PROPFIND\\\\x1b[2J" in reply and b"Allow: GET" in reply,
                      "a method Qt does not know, named as sent and escaped: %r" % reply[:400])
        for request, closes in ((b"GET /api/v1/stato HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", True),
                                (b"GET /api/v1/stato HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n",
                                 False),
                                (b"GET /api/v1/stato HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", False)):
            reply, closed = raw_exchange(api_port, request, timeout=2)
            checks.expect(b" 200 " in reply[:13] and closed == closes,
                          "%r: answered, %s" % (request.strip(), "closed" if closes else "kept open"))
        checks.expect(client.vehicle(0)["rotta"] == 90, "nothing refused changed the vehicle")

        # A client of the events that floods pings and never reads: closed as
        # soon as the pongs queued for it pass its bound, the memory held.
        before = vadrel.memory_kb()
        closed_after, pings = ping_flood(api_port, 8)
        grown = vadrel.memory_kb() - before
        checks.expect(closed_after is not None and grown < 64 * 1024,
                      "a ping flood (%d pings) closed after %s s, %d KB grown" % (pings, closed_after, grown))
        checks.expect(vadrel.said(r"non legge le risposte ai suoi ping") is not None, "the operator hears of it")

        # 1000 idle connections: the tick goes on each second, then the
        # interface answers again once they are gone.
        idle = []
        for _ in range(1000):
            try:
                idle.append(socket.create_connection(("127.0.0.1", api_port), timeout=2))
            except OSError:
                break
        port.drain()
        times = port.arrivals(4.5)
        gaps = [b - a for a, b in zip(times, times[1:])]
        checks.expect(len(times) >= 4 and all(0.8 < g < 1.2 for g in gaps),
                      "a sentence each second beside %d idle connections: %r" % (len(idle), gaps))
        for s in idle:
            s.close()
        deadline = time.monotonic() + 5
        while status_of(client.state) != 200 and time.monotonic() < deadline:
            time.sleep(0.1)
        checks.expect(status_of(client.state) == 200, "answers again after the idle connections")
        checks.expect(vadrel.proc.poll() is None, "still running")
    finally:
        port.close()
    code, said, _ = vadrel.finish()
    checks.expect(code == 0, "orderly end: %d %s" % (code, said[-300:]))
    # The changes are the operator's: vadrel.cnf keeps them (its first record, vehicle 0).
    with open(vadrel.config_path(), "rb") as f:
        first = f.readline().decode("latin-1")
    checks.expect(re.match(r'^12,30,"S",.*"E",20,90,#FALSE#,#TRUE#', first) is not None,
                  "vehicle 0 as the client left it, in vadrel.cnf: %r" % first)

    serial_link(binary, checks)

    # Beyond the loopback: a key in vadrel.token (0600) said once; 401 without it.
    wide = Vadrel(binary, "--controllo", "0.0.0.0:0")
    try:
        key = wide.said(r"vadrel\.token.*?([A-Za-z0-9_-]{43})").group(1)
        wide_port = int(wide.said(r"in ascolto su http://\S+:(\d+)/api/v1").group(1))
        token_file = os.path.join(wide.folder, "vadrel.token")
        checks.expect(stat.S_IMODE(os.stat(token_file).st_mode) == 0o600, "vadrel.token is the user's alone")
        checks.expect(status_of(Client("http://127.0.0.1:%d" % wide_port).state) == 401, "no key: 401")
        checks.expect(status_of(Client("http://127.0.0.1:%d" % wide_port, token="x" * 43).state) == 401,
                      "a wrong key: 401")
        checks.expect(status_of(Client("http://127.0.0.1:%d" % wide_port, token=key).state) == 200,
                      "the key of vadrel.token: 200")
    finally:
        wide.finish()

    # While a log is replayed every change is refused (409), reading is not.
    log = os.path.join(vadrel.folder, "log.nmea")
    with open(log, "w") as f:
        for second in range(30):
            f.write("# 2026-12-06T12:00:%02d.000Z\n$GPTXT,01,01,02,prova*00\r\n" % second)
    replay = Vadrel(binary, "--controllo", "127.0.0.1:0", "--riproduci", log, "--invia-danneggiate")
    try:
        replay_client = Client(replay.said(r"in ascolto su (http://\S+)/api/v1").group(1))
        checks.expect(status_of(lambda: replay_client.set_vehicle(0, rotta=10)) == 409, "a change while replaying: 409")
        checks.expect(replay_client.state()["riproduzione"] is True, "the state says it replays")
    finally:
        replay.finish()
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
