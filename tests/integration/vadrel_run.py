"""Starting the real vadrel program for the end-to-end tests."""

import atexit
import functools
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time


def each_line(sock, on_line):
    """Reads the socket to its end, giving each CR LF line with the time its
    piece arrived: on_line(line, now)."""
    pending = b""
    while True:
        try:
            chunk = sock.recv(65536)
        except OSError:
            return
        if not chunk:
            return
        now = time.time()
        pending += chunk
        *lines, pending = pending.split(b"\r\n")
        for line in lines:
            on_line(line, now)


class Checks:
    """Checks that go on after a failure, each failure printed as it comes;
    finish() prints the tally and ends the script with 1 if any failed."""

    def __init__(self):
        self.failures = []
        self.passed = 0
        self.lock = threading.Lock()

    def expect(self, condition, text):
        with self.lock:
            if condition:
                self.passed += 1
            else:
                self.failures.append(text)
                print("FAILED", text)

    def finish(self):
        print("%d passed, %d failed" % (self.passed, len(self.failures)))
        sys.exit(1 if self.failures else 0)


class Vadrel:
    """vadrel --senza-finestra on a virtual COM 2, in a folder of its own."""

    def __init__(self, binary, *extra, folder=None, prefix=(), **popen):
        self.folder = folder or tempfile.mkdtemp(prefix="vadrel-")
        self.proc = subprocess.Popen(
            [*prefix, binary, "--senza-finestra", "--cartella", self.folder, "--com", "2=pty", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1, errors="replace", **popen)
        # A test that fails before it stops the program leaves none behind.
        atexit.register(lambda proc=self.proc: proc.poll() is None and proc.kill())
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

    def said(self, pattern):
        """Reads standard error up to a line that matches; the match."""
        for line in self.proc.stderr:
            match = re.search(pattern, line)
            if match:
                return match
        raise AssertionError("vadrel never said %r" % pattern)

    def said_all(self, patterns):
        """Reads standard error until every pattern has matched, in any
        order; the first group of each, by its name."""
        found = {}
        for line in self.proc.stderr:
            for name, pattern in patterns.items():
                match = re.search(pattern, line)
                if match and name not in found:
                    found[name] = match.group(1)
            if len(found) == len(patterns):
                return found
        raise AssertionError("vadrel never said %r" % patterns)

    def tcp_port(self):
        """The port of the TCP server started with --tcp 0, as vadrel says it."""
        return int(self.said(r"TCP in ascolto su 127\.0\.0\.1:(\d+)").group(1))

    def memory_kb(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise AssertionError("no VmRSS")

    def cpu_seconds(self):
        """User and system time the program has used so far."""
        with open("/proc/%d/stat" % self.proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def descriptors(self):
        return len(os.listdir("/proc/%d/fd" % self.proc.pid))

    def socket_descriptors(self):
        """The numbers of the program's open sockets."""
        folder = "/proc/%d/fd" % self.proc.pid
        numbers = []
        for name in os.listdir(folder):
            try:
                if os.readlink(os.path.join(folder, name)).startswith("socket:"):
                    numbers.append(int(name))
            except OSError:
                pass  # closed meanwhile
        return numbers

    def table_saved(self):
        """Whether vadrel.cnf holds a whole table, its end marker last."""
        try:
            with open(self.config_path(), "rb") as f:
                return f.read().endswith(b'"#","#","#","#","#","#","#","#","#","#"\r\n')
        except FileNotFoundError:
            return False

    def stop(self, sig=signal.SIGTERM):
        """Asks for the orderly shut-down and returns the exit code."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=15)
        finally:
            self.proc.stdout.close()
            self.proc.stderr.close()

    def finish(self, sig=signal.SIGTERM):
        """Ends the program as stop() does. Returns its exit code, what it said
        on standard error meanwhile, and the seconds the shut-down took."""
        start = time.monotonic()
        self.proc.send_signal(sig)
        try:
            code = self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise
        finally:
            took = time.monotonic() - start
            said = self.proc.stderr.read()
            self.proc.stdout.close()
            self.proc.stderr.close()
        return code, said, took

    def sentence(self):
        """The next $GPRMC sentence the monitor shows."""
        while True:
            line = self.proc.stdout.readline()
            assert line, "vadrel ended early"
            if line.startswith("$GPRMC"):
                return line.strip()

    def config_path(self):
        return os.path.join(self.folder, "vadrel.cnf")


SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these scripts


def readable_folder():
    """A new folder every account can enter and read, under a parent they can
    all reach, whatever the modes of the checkout and of $TMPDIR."""
    folder = tempfile.mkdtemp(prefix="vadrel-", dir="/tmp" if os.path.isdir("/tmp") else None)
    os.chmod(folder, 0o755)
    return folder


def readable_copy(binary):
    """The executables and the help of the build folder, copied where another
    account can run them: a checkout in /root (mode 0700) cannot be entered by
    anyone else. The copy is not writable by others, as the build folder of
    another user is not."""
    source = os.path.dirname(os.path.abspath(binary))
    folder = readable_folder()
    for name in ("vadrel", "vadrel-finestra", "vadrel.hlp"):
        if os.path.exists(os.path.join(source, name)):
            shutil.copy2(os.path.join(source, name), os.path.join(folder, name))
    return os.path.join(folder, os.path.basename(binary))


def account_or_skip(name):
    """The passwd entry of an account to run as, or the script ends as skipped
    (exit code 77) saying why: only root can switch to it."""
    import pwd
    if os.geteuid() != 0:
        print("SKIPPED: only root can run programs as %s" % name)
        sys.exit(SKIPPED)
    try:
        return pwd.getpwnam(name)
    except KeyError:
        print("SKIPPED: no account %s on this machine" % name)
        sys.exit(SKIPPED)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def free_base(count=21, above=0):
    """A base above `above` whose `count` ports nobody listens on now."""
    for base in range(max(above + 1, 20000 + os.getpid() % 400 * 21), 60000, 21 * 7):
        probes = []
        try:
            for k in range(count):
                s = socket.socket()
                probes.append(s)
                s.bind(("127.0.0.1", base + k))
            return base
        except OSError:
            continue
        finally:
            for s in probes:
                s.close()
    raise RuntimeError("no free base")


class GpsdWatch:
    """gpsd on a device (or tcp://HOST:PORT), watched: next_report() gives its
    reports as they come, each with the monotonic time it arrived. Without -b
    gpsd writes its probe bytes into the port, which vadrel must drop. popen:
    user and group to run it as."""

    def __init__(self, device, deadline, **popen):
        port = free_port()
        folder = readable_folder()
        os.chmod(folder, 0o777)  # for a gpsd run as another user, which starts there
        control = os.path.join(folder, "control")
        self.daemon = subprocess.Popen(["/usr/sbin/gpsd", "-N", "-n", "-S", str(port), "-F", control, device],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=folder, **popen)
        while True:
            try:
                self.conn = socket.create_connection(("127.0.0.1", port), timeout=2)
                break
            except OSError:
                if time.monotonic() > deadline:
                    self.close()
                    raise
                time.sleep(0.1)
        self.conn.sendall(b'?WATCH={"enable":true,"json":true};\n')
        self.buffer = b""

    def next_report(self, deadline):
        """The next report as (arrival, dict), or None at the deadline."""
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            self.conn.settimeout(left)
            try:
                chunk = self.conn.recv(4096)
            except socket.timeout:
                return None
            assert chunk, "gpsd closed the connection"
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return time.monotonic(), json.loads(line)

    def reports(self, wanted, count, deadline):
        """The first `count` reports for which wanted(report) holds, fewer at
        the deadline; each with its "arrival"."""
        found = []
        while len(found) < count:
            got = self.next_report(deadline)
            if got is None:
                break
            if wanted(got[1]):
                got[1]["arrival"] = got[0]
                found.append(got[1])
        return found

    def close(self):
        if getattr(self, "conn", None):
            self.conn.close()
        self.daemon.terminate()
        self.daemon.wait(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def gpsd_reports(device, count, deadline, **popen):
    """gpsd's first `count` TPV reports with a position and a time."""
    with GpsdWatch(device, deadline, **popen) as gpsd:
        return gpsd.reports(lambda r: r.get("class") == "TPV" and "lat" in r and "time" in r, count, deadline)


def gpsd_reports_over(device, seconds, kinds=("SKY", "TPV")):
    """gpsd's reports of those classes on the device over `seconds` once it
    reports any (30 s at most for the first)."""
    reports = []
    with GpsdWatch(device, time.monotonic() + 30) as gpsd:
        end = time.monotonic() + 30
        while time.monotonic() < end:
            got = gpsd.next_report(end)
            if got is None:
                break
            if got[1].get("class") in kinds:
                if not reports:
                    end = time.monotonic() + seconds
                reports.append(got[1])
    return reports


NPM_DIR = os.environ.get("VADREL_NPM_DIR") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "vadrel", "npm")


def signalk(sentences, node="node"):
    """Signal K's NMEA parser (signalk_parse.js, from scripts/install-deps.sh)
    over the sentences: one result each, {"sentence", "delta"} or {"sentence", "error"}."""
    parser = os.path.join(NPM_DIR, "node_modules", "@signalk", "nmea0183-signalk")
    assert os.path.isdir(parser), "Signal K's parser is not in %s: run scripts/install-deps.sh" % parser
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signalk_parse.js")
    done = subprocess.run([node, script], input="\n".join(sentences) + "\n", capture_output=True, text=True,
                          env=dict(os.environ, NODE_PATH=os.path.join(NPM_DIR, "node_modules")), check=True)
    return [json.loads(line) for line in done.stdout.splitlines()]


def canboat(lines, node="node"):
    """canboat's NMEA 2000 decoder (canboat_parse.js, @canboat/canboatjs from
    scripts/install-deps.sh) over plain text lines: one result each,
    {"line", "message"} or {"line", "error"}; None when node or the package
    is missing."""
    package = os.path.join(NPM_DIR, "node_modules", "@canboat", "canboatjs")
    if not shutil.which(node) or not os.path.isdir(package):
        return None
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "canboat_parse.js")
    done = subprocess.run([node, script], input="\n".join(lines) + "\n", capture_output=True, text=True,
                          env=dict(os.environ, NODE_PATH=os.path.join(NPM_DIR, "node_modules")), check=True)
    return [json.loads(line) for line in done.stdout.splitlines()]


def signalk_values(result):
    """The values of a Signal K delta by path, those of the empty path merged in."""
    found = {}
    for update in (result.get("delta") or {}).get("updates", []):
        for value in update.get("values", []):
            if value["path"] == "":
                found.update(value["value"])
            else:
                found[value["path"]] = value["value"]
    return found


def folder_with_vehicle(line):
    """A new program folder whose vadrel.cnf has vehicle 0 as `line`."""
    folder = tempfile.mkdtemp(prefix="vadrel-")
    empty = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'
    marker = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(line.encode() + b"\r\n" + empty * 20 + marker)
    return folder


def nmea(body):
    """The sentence of a body between "$" and "*", checksummed, with its CR LF."""
    return "$%s*%02X\r\n" % (body, functools.reduce(lambda a, c: a ^ ord(c), body, 0))


def checksum_ok(line):
    """Whether a sentence's checksum is that of what lies between its first
    character ("$", or the "@" of a vehicle's prefix) and its "*"."""
    body, star, given = line.rpartition("*")
    return star == "*" and given == "%02X" % functools.reduce(lambda a, c: a ^ ord(c), body[1:], 0)


def read_port(device, seconds):
    """Every byte the port gives for that many seconds."""
    fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    data = b""
    deadline = time.monotonic() + seconds
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
            if ready:
                data += os.read(fd, 65536)
    finally:
        os.close(fd)
    return data


def sentences_of(data):
    """The sentences in bytes read from a port: CR LF ends each, the radio
    separator's NUL bytes dropped; a line cut by the start of the reading
    left out."""
    lines = data.replace(b"\0", b"").split(b"\r\n")
    return [line.decode("ascii") for line in lines[1:-1] if line]


def ais_bits(payload):
    """An AIS payload's six-bit characters as a text of 0 and 1."""
    return "".join(format(ord(c) - 48 - (8 if ord(c) - 48 > 40 else 0), "06b") for c in payload)


def ais_unsigned(bits, start, width):
    return int(bits[start:start + width], 2)


def ais_signed(bits, start, width):
    value = ais_unsigned(bits, start, width)
    return value - (1 << width) if value >= 1 << (width - 1) else value


def ais_text(bits, start, chars):
    """A text field up to its first "@", cut short where the bits end."""
    out = ""
    for k in range(chars):
        if start + 6 * k + 6 > len(bits):
            break
        c = ais_unsigned(bits, start + 6 * k, 6)
        out += chr(c + 64 if c < 32 else c)
    return out.split("@")[0]


def flood(port, stop, chunk, limit=None, sent=None):
    """Sends `chunk` over and over on a connection of its own, as fast as
    vadrel takes it, until `stop` is set, vadrel drops the connection, or
    `limit` bytes are gone; counts the bytes sent in sent[0]."""
    sent = [0] if sent is None else sent
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(0.2)
        while not stop.is_set() and (limit is None or sent[0] < limit):
            try:
                sent[0] += s.send(chunk if limit is None else chunk[:limit - sent[0]])
            except socket.timeout:
                pass
            except OSError:
                return


def logged_run(binary, prefix, *extra, timeout=60):
    """A run in a folder of its own that ends by itself, its sentences
    recorded: its exit code and the bytes of its log."""
    folder = tempfile.mkdtemp(prefix=prefix)
    log = os.path.join(folder, "registro.nmea")
    program = Vadrel(binary, *extra, "--registra", log, "--controllo", "no", "--tcp", "no", folder=folder)
    code = program.proc.wait(timeout=timeout)
    program.stop()
    try:
        with open(log, "rb") as f:
            return code, f.read()
    except FileNotFoundError:
        return code, b""


def nmea_degrees(field, hemisphere):
    """A ddmm.mmmm or dddmm.mmmm field and its N, S, E or W as signed degrees."""
    width = len(field.split(".")[0]) - 2
    value = int(field[:width]) + float(field[width:]) / 60
    return -value if hemisphere in ("S", "W") else value


def read_for(sock, seconds):
    """The bytes a socket gives for that many seconds, or until it closes
    (or is reset)."""
    data, deadline = b"", time.monotonic() + seconds
    while time.monotonic() < deadline:
        if select.select([sock], [], [], min(0.05, max(0.0, deadline - time.monotonic())))[0]:
            try:
                chunk = sock.recv(65536)
            except ConnectionResetError:
                break
            if not chunk:
                break
            data += chunk
    return data
