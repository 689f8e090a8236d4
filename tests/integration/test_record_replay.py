#!/usr/bin/python3
"""Record and replay with the real program. A recording in each mode, replayed
at X1 to a UDP target, gives the same bytes in the same order, each second at
its recorded offset after the first; a log written as a real receiver writes
it, replayed on a virtual port into gpsd, gives fixes with the log's times
and positions at the log's pace; bad logs (and FIFOs, devices, jumps of the
time) are refused with exit code 2 before anything is sent. Hostile cases:
a 4 GB hole whose reading a signal ends, 50 MB of empty lines in one second,
logs appended to or cut while they play, SIGSTOP during a replay and live, a
serial port lost while playing, a TCP client that never reads at full speed.
Outputs onto the program's own files (by a relative path), the log replayed
or each other are refused before anything is opened; the GPX tracks stay a
whole document after a kill -9.

    test_record_replay.py VADREL [--seconds N] [--tolerance-ms T] [--part timing|files]

--part timing runs only the replays timed to the millisecond; --part files
only the rest (bad logs, hostile cases, outputs, GPX, the receiver's log
into gpsd at a second's pace), so that ctest runs the timing apart and the
rest beside other tests.

The defaults keep CI short and steady on a shared machine (6 s, 200 ms); the 60 s run
with 5 ms is the bench: bench/replay_timing.sh."""

import argparse
import contextlib
import csv
import datetime
import io
import xml.etree.ElementTree as ET
import os
import re
import signal
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

from vadrel_run import Vadrel, free_port, gpsd_reports, nmea

HERE = os.path.dirname(os.path.abspath(__file__))


def ticks_of(log):
    """(UTC seconds, bytes) of each second of a vadrel log."""
    ticks = []
    for piece in log.split(b"# ")[1:]:
        stamp, body = piece.split(b"\n", 1)
        when = datetime.datetime.strptime(stamp.decode(), "%Y-%m-%dT%H:%M:%S.%fZ")
        ticks.append((when.replace(tzinfo=datetime.timezone.utc).timestamp(), body))
    return ticks


def record(binary, mode, seconds, folder):
    log = os.path.join(folder, "registro.nmea")
    extra = ["--mezzi", "3"] if mode == "multi" else []
    vadrel = Vadrel(binary, "--modo", mode, "--registra", "registro.nmea", "--durata", str(seconds + 0.5),
                    *extra, cwd=folder)  # a relative path, taken from where vadrel starts
    assert vadrel.proc.wait(timeout=seconds + 30) == 0, vadrel.proc.stderr.read()
    vadrel.stop()
    with open(log, "rb") as f:
        return log, f.read()


def replay_to_udp(binary, log):
    """Replays the log at X1 to a UDP target; (arrival time, datagram) of each second."""
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind(("127.0.0.1", 0))
    udp.settimeout(5)
    vadrel = Vadrel(binary, "--riproduci", log, "--udp", "127.0.0.1:%d" % udp.getsockname()[1])
    got = []
    try:
        while True:
            try:
                data = udp.recv(65536)
            except socket.timeout:
                break
            got.append((time.monotonic(), data))
        assert vadrel.proc.wait(timeout=10) == 0
    finally:
        vadrel.stop()
        udp.close()
    return got


def check_mode(binary, mode, seconds, tolerance, results):
    folder = tempfile.mkdtemp(prefix="vadrel-rec-")
    try:
        log, data = record(binary, mode, seconds, folder)
        recorded = ticks_of(data)
        assert len(recorded) >= seconds - 1, (mode, len(recorded))
        got = replay_to_udp(binary, log)
        assert [d for _, d in got] == [b for _, b in recorded], mode
        # From the second tick on, against the second: the first is sent the
        # moment the replay starts, with the outputs' first-write costs.
        lag = [t - r for (t, _), (r, _) in zip(got[1:], recorded[1:])]
        errors = sorted(abs(d - lag[0]) for d in lag)
        middle = sorted(lag)[len(lag) // 2]
        spread = max(abs(d - middle) for d in lag)
        results[mode] = (len(got), errors[len(errors) // 2], errors[-1], spread)
    except BaseException as error:  # reported by the main thread
        results[mode] = error
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def receiver_log(seconds):
    """A receiver's log at 1 Hz, each second with its own time: RMC, GGA, GSA,
    GSV, moving north by 0.01 minute a second."""
    start = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    text, expected = "", []
    for i in range(seconds):
        t = start + datetime.timedelta(seconds=i)
        hms, dmy = t.strftime("%H%M%S.00"), t.strftime("%d%m%y")
        minutes = 30.0 + 0.01 * i
        lat = "45%07.4f" % minutes
        text += nmea("GPRMC,%s,A,%s,N,00912.3456,E,0.6,0.0,%s,,,A" % (hms, lat, dmy))
        text += nmea("GPGGA,%s,%s,N,00912.3456,E,1,08,0.9,120.0,M,47.0,M,," % (hms, lat))
        text += nmea("GPGSA,A,3,04,05,09,12,24,25,29,31,,,,,1.6,0.9,1.3")
        text += nmea("GPGSV,2,1,08,04,47,228,46,05,05,121,40,09,16,303,39,12,57,057,46")
        text += nmea("GPGSV,2,2,08,24,64,163,46,25,09,040,41,29,39,196,44,31,33,067,46")
        expected.append((t.strftime("%Y-%m-%dT%H:%M:%S"), 45 + minutes / 60, 9 + 12.3456 / 60))
    return text, expected


def receiver_into_gpsd(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-gpsd-")
    try:
        text, expected = receiver_log(12)
        log = os.path.join(folder, "ricevitore.nmea")
        with open(log, "w") as f:
            f.write(text)
        vadrel = Vadrel(binary, "--riproduci", log)
        try:
            reports = gpsd_reports(vadrel.device, 12, time.monotonic() + 25)
        finally:
            vadrel.stop()
        first_seen = {}
        for report in reports:
            stamp = report["time"][:19]
            match = [e for e in expected if e[0] == stamp]
            assert match, (stamp, expected)
            assert abs(report["lat"] - match[0][1]) < 1e-6 and abs(report["lon"] - match[0][2]) < 1e-6, report
            assert not first_seen or stamp >= max(first_seen), (stamp, first_seen)
            first_seen.setdefault(stamp, report["arrival"])
        assert len(first_seen) >= 5, first_seen
        arrivals = [first_seen[s] for s in sorted(first_seen)]
        gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
        assert all(0.5 < gap < 1.5 for gap in gaps), gaps  # the log's pace, one second a second
        print("gpsd: %d seconds with the log's times and positions, %.3f s apart at most"
              % (len(first_seen), max(gaps)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


@contextlib.contextmanager
def scratch(prefix):
    folder = tempfile.mkdtemp(prefix=prefix)
    try:
        yield folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)


@contextlib.contextmanager
def udp_target():
    """A UDP socket on the loopback and its address for --udp."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
        udp.bind(("127.0.0.1", 0))
        yield udp, "127.0.0.1:%d" % udp.getsockname()[1]


def bad_logs(binary):
    """Logs refused with exit code 2 before any port is made: also a FIFO and
    devices, which are no files, and jumps of the time without --salti-subito."""
    good = nmea("GPRMC,120000,A,4530.0000,N,00912.3456,E,0.6,0.0,061226,,,A")
    with scratch("vadrel-bad-") as folder, udp_target() as (udp, target):
        os.mkfifo(os.path.join(folder, "fifo.nmea"))
        rows = [
            ("damaged", good + good.replace("*", "0*") + "$GPGSV,1\r\n", "2 righe danneggiate"),
            ("jumps", stamped(1) + "# 2036-12-06T12:00:00.000Z\n" + good, "riga 3: l'ora salta avanti di 3653 giorni"),
            ("fifo", None, "è una FIFO"),
            ("/dev/zero", None, "è un dispositivo"),
        ]
        udp.setblocking(False)
        for name, content, words in rows:
            path = os.path.join(folder, name + ".nmea") if not name.startswith("/") else name
            if content is not None:
                with open(path, "w") as f:
                    f.write(content)
            run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty",
                                  "--udp", target, "--riproduci", path],
                                 capture_output=True, text=True, errors="replace", timeout=20)
            assert run.returncode == 2, (name, run.returncode, run.stderr)
            assert words in run.stderr and "niente è stato inviato" in run.stderr, (name, run.stderr)
            assert run.stdout == "", (name, run.stdout)  # no port was even made
            try:
                assert False, (name, udp.recv(65536))
            except BlockingIOError:
                pass


def headless(binary, folder, *args, **popen):
    """vadrel without a window on a virtual COM 2."""
    popen.setdefault("stdout", subprocess.DEVNULL)
    return subprocess.Popen([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", *args],
                            stderr=subprocess.PIPE, **popen)


def reap(proc, timeout):
    """Waits for the process: (exit code, standard error, peak memory in kB,
    CPU seconds). The peak is the program's own VmHWM, looked at while it
    runs: a child's rusage counts this script's memory at the fork."""
    deadline = time.monotonic() + timeout
    peak = 0
    while True:
        try:
            with open("/proc/%d/status" % proc.pid) as f:
                peak = max([peak] + [int(line.split()[1]) for line in f if line.startswith("VmHWM:")])
        except OSError:
            pass
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            proc.returncode = os.waitstatus_to_exitcode(status)
            return proc.returncode, proc.stderr.read().decode(), peak, usage.ru_utime + usage.ru_stime
        if time.monotonic() > deadline:
            proc.kill()
            raise AssertionError("vadrel did not end within %s s" % timeout)
        time.sleep(0.01)


def datagrams(udp, quiet, most=None):
    """(arrival, datagram) until none came for `quiet` seconds, or `most` came."""
    udp.settimeout(quiet)
    got = []
    try:
        while most is None or len(got) < most:
            data = udp.recv(65536)
            got.append((time.monotonic(), data))
    except socket.timeout:
        pass
    return got


def satellites(i):
    return nmea("GPGSV,1,1,01,%02d,47,228,46" % (i % 100))


def stamped(seconds, body=satellites, start=0):
    """A vadrel log of `seconds` seconds from 12:00:start, one sentence each."""
    return "".join("# 2026-12-06T12:%02d:%02d.000Z\n%s" % (i // 60, i % 60, body(i))
                   for i in range(start, start + seconds))


def too_much(binary):
    """The reading of a 4 GB hole ends at once at SIGTERM or SIGINT; 50 MB of
    empty lines in one second are refused at the second's limit; memory stays
    that of the program."""
    with scratch("vadrel-much-") as folder:
        hole = os.path.join(folder, "buco.nmea")
        os.truncate(os.open(hole, os.O_CREAT | os.O_WRONLY), 4 << 30)
        for sig in (signal.SIGTERM, signal.SIGINT):
            proc = headless(binary, folder, "--riproduci", hole)
            while int(open("/proc/%d/io" % proc.pid).read().split("rchar: ")[1].split()[0]) < 64 << 20:
                time.sleep(0.01)
            proc.send_signal(sig)
            asked = time.monotonic()
            code, err, memory, _ = reap(proc, 10)
            took = time.monotonic() - asked
            assert code == 2 and "interrotta" in err and took < 2 and memory < 64 << 10, (sig, code, err, took, memory)
            print("a 4 GB hole: read until %s, then ended in %.2f s; peak memory %.1f MB"
                  % (signal.Signals(sig).name, took, memory / 1024))
        empty = os.path.join(folder, "vuote.nmea")
        with open(empty, "w") as f:
            f.write(stamped(1, body=lambda i: ""))
            for _ in range(50):
                f.write("\n" * (1 << 20))
            f.write(stamped(1, start=1))
        code, err, memory, _ = reap(headless(binary, folder, "--riproduci", empty), 60)
        assert code == 2 and "il secondo supera 65507 byte" in err and memory < 64 << 10, (code, err, memory)
        print("50 MB of empty lines in one second: refused, peak memory %.1f MB" % (memory / 1024))


def replays_that_end(binary):
    """Each replay ends the program in order once sent, and nothing else is
    sent: a log of one line, jumps of the time sent at once, a log whose line
    too long is told and left out, a log appended to after the check, a log
    cut while it plays (the replay stops before the cut: exit code 1)."""
    good = nmea("GPGSV,1,1,01,04,47,228,46")
    jumps = stamped(1) + "# 2036-12-06T12:00:00.000Z\n" + good + "# 2036-12-06T10:00:00.000Z\n" + good
    zda = nmea("GPZDA,100000,06,12,2026,00,00")
    # Comments past the first block of the file between the seconds: the
    # replay reads on after the change.
    padding = ("# " + "x" * 4000 + "\n") * 300
    with scratch("vadrel-end-") as folder, udp_target() as (udp, target):
        path = os.path.join(folder, "registro.nmea")
        rows = [  # log, options, change once the first second came, exit code, words said, datagrams
            (zda, [], None, 0, "riproduzione finita: 1 secondo inviato", 1),
            (jumps, ["--salti-subito"], None, 0, "riga 5: l'ora torna indietro di 2 h", 3),
            (zda + "x" * 5000 + "\n" + good, ["--invia-danneggiate"], None, 0, "riga 2: riga troppo lunga", 1),
            (stamped(2) + padding + stamped(1, start=2), [],
             lambda: open(path, "ab").write(b"$GP\x01junk\r\n" + stamped(1, start=9).encode()), 0,
             "riproduzione finita: 3 secondi inviati", 3),
            (stamped(4) + padding + stamped(2, start=4), [], lambda: os.truncate(path, 1100000), 1,
             "è stato accorciato dopo la verifica (3 secondi inviati)", 3),
        ]
        for log, options, change, exit_code, words, count in rows:
            with open(path, "w") as f:
                f.write(log)
            proc = headless(binary, folder, "--udp", target, "--riproduci", path, *options)
            got = datagrams(udp, 10, most=1)
            if change:
                change()
            got += datagrams(udp, 1.5, most=count)  # one more were the program to go on with its own
            code, err, _, _ = reap(proc, 20)
            assert code == exit_code and words in err, (log[:60], code, err)
            assert len(got) == count, (log[:60], got)
            if change:
                assert [d for _, d in got] == [satellites(i).encode() for i in range(count)], got
        print("replays that end: the program ends in order with what was checked sent, and nothing else")


def stopped_and_continued(binary):
    """SIGSTOP for 4 s during a replay, then SIGCONT: no burst of stale
    seconds; the replay goes on from the present one, the others skipped and
    counted. Live, a stop over a tick loses no second."""
    with scratch("vadrel-stop-") as folder, udp_target() as (udp, target):
        path = os.path.join(folder, "registro.nmea")
        with open(path, "w") as f:
            f.write(stamped(12))
        proc = headless(binary, folder, "--udp", target, "--riproduci", path)
        datagrams(udp, 10, most=2)
        proc.send_signal(signal.SIGSTOP)
        time.sleep(4)
        proc.send_signal(signal.SIGCONT)
        resumed = time.monotonic()
        arrivals = [t for t, _ in datagrams(udp, 1.5)]
        code, err, _, _ = reap(proc, 20)
        gaps = [b - a for a, b in zip([resumed] + arrivals, arrivals)]
        skipped = int(re.search(r"saltati (\d+) secondi del registro", err).group(1))
        assert code == 0 and all(gap > 0.5 for gap in gaps[1:]), (code, gaps, err)  # no burst
        assert 3 <= skipped <= 4 and 2 + len(arrivals) + skipped == 12, (skipped, len(arrivals), err)
        print("stopped 4 s during a replay: %d seconds skipped, then one a second" % skipped)

        proc = headless(binary, folder, "--registra", "vivo.nmea", cwd=folder, stdout=subprocess.PIPE)
        for _ in range(3):
            while not proc.stdout.readline().startswith(b"$GPRMC"):
                pass
            # Stopped over the next tick only, however late the line above
            # was read on a busy machine (up to 0.7 s).
            time.sleep(0.1)
            proc.send_signal(signal.SIGSTOP)
            time.sleep(1.2)
            proc.send_signal(signal.SIGCONT)
            proc.stdout.readline()  # the late tick
        proc.send_signal(signal.SIGTERM)
        assert reap(proc, 20)[0] == 0
        with open(os.path.join(folder, "vivo.nmea"), "rb") as f:
            seconds = [int(t) for t, _ in ticks_of(f.read())]
        assert seconds == list(range(seconds[0], seconds[-1] + 1)), seconds
        print("live: three stops of 1.2 s over a tick, every second sent")


def port_lost_while_playing(binary):
    """The serial port goes away during a replay: told on standard error and
    on the monitor's lines, as in live sending."""
    master, slave = os.openpty()
    with scratch("vadrel-lost-") as folder:
        path = os.path.join(folder, "registro.nmea")
        with open(path, "w") as f:
            f.write(stamped(6))
        proc = headless(binary, folder, "--com", "1=" + os.ttyname(slave), "--porta", "1", "--riproduci", path,
                        stdout=subprocess.PIPE)
        os.close(slave)
        while not proc.stdout.readline().startswith(b"$GPGSV"):
            pass
        os.close(master)
        code, err, _, _ = reap(proc, 20)
        out = proc.stdout.read().decode()
        assert code == 0 and "porta No Tx: porta persa" in err and "[non inviato: porta persa" in out, (code, err, out)


def full_speed_waits_idle(binary):
    """At full speed a TCP client that does not read holds each second up to
    a second: the replay waits for it without spinning."""
    with scratch("vadrel-lag-") as folder, socket.socket() as client:
        path = os.path.join(folder, "registro.nmea")
        with open(path, "w") as f:
            f.write(stamped(4, body=lambda i: nmea("GPTXT,01,01,02," + "x" * 60) * 300))
        client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        port = free_port()
        started = time.monotonic()
        proc = headless(binary, folder, "--tcp", str(port), "--riproduci", path, "--velocita", "max", "--ciclo",
                        "--durata", "6")
        while client.connect_ex(("127.0.0.1", port)) != 0:
            assert time.monotonic() - started < 10, "no TCP server"
            time.sleep(0.01)
        code, err, _, cpu = reap(proc, 30)
        took = time.monotonic() - started
        assert code == 0 and cpu < 0.25 * took, (code, err, took, cpu)
        print("full speed in a loop, a client that does not read: %.1f s, %.2f s of CPU" % (took, cpu))


def moving_pair(folder):
    """A vadrel.cnf in folder with vehicles 0 and 1 moving."""
    lines = ['44,2,"N",,10,8,"E",100,45,#TRUE#,#FALSE#', '45,0,"N",,9,0,"E",50,270,#TRUE#,#FALSE#']
    lines += ['0,0,"N",,0,0,"E",0,0,#FALSE#,#FALSE#'] * 19 + [",".join(['"#"'] * 11)]
    with open(os.path.join(folder, "vadrel.cnf"), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


GPX_NS = {"g": "http://www.topografix.com/GPX/1/1", "x": "http://www.garmin.com/xmlschemas/TrackPointExtension/v2"}


def gpx_points(root):
    return sorted((round(float(p.get("lat")), 6), round(float(p.get("lon")), 6),
                   p.find("g:time", GPX_NS).text.rstrip("Z").replace(".000", ""),
                   p.find(".//x:speed", GPX_NS).text, p.find(".//x:course", GPX_NS).text)
                  for p in root.iter("{%s}trkpt" % GPX_NS["g"]))


def gpsbabel(path, *filters, out="unicsv,utc=0"):
    return subprocess.run(["gpsbabel", "-t", "-i", "gpx", "-f", path, *filters, "-o", out, "-F", "-"],
                          check=True, capture_output=True, text=True).stdout


def gpx_tracks(binary):
    """Two moving vehicles in multi-user mode, their tracks in a GPX file:
    xmllint finds it well formed, gpsbabel reads the same points back and
    keeps their speed and course."""
    folder = tempfile.mkdtemp(prefix="vadrel-gpx-")
    try:
        moving_pair(folder)
        vadrel = Vadrel(binary, "--modo", "multi", "--mezzi", "2", "--traccia", "tracce.gpx", "--durata", "5.5",
                        folder=folder, cwd=folder)
        assert vadrel.proc.wait(timeout=30) == 0
        vadrel.stop()
        path = os.path.join(folder, "tracce.gpx")
        subprocess.run(["xmllint", "--noout", path], check=True)
        ours = gpx_points(ET.parse(path).getroot())
        assert len(ours) >= 3 and len({p[0] for p in ours}) >= 3, ours  # they moved
        table = gpsbabel(path)
        read = sorted((round(float(r["Latitude"]), 6), round(float(r["Longitude"]), 6),
                       r["Date"].replace("/", "-") + "T" + r["Time"]) for r in csv.DictReader(io.StringIO(table)))
        assert read == [p[:3] for p in ours], (read, ours)
        assert gpx_points(ET.fromstring(gpsbabel(path, out="gpx"))) == ours
        print("gpx: %d points, well formed, read back by gpsbabel" % len(ours))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def gpx_killed_after_a_minute(binary, results):
    """The tracks grow by appending a track per vehicle a minute; killed with
    SIGKILL after the first minute's write, the file is whole: xmllint and
    gpsbabel read it, and gpsbabel joins a vehicle's pieces into one track."""
    folder = tempfile.mkdtemp(prefix="vadrel-gpx9-")
    try:
        moving_pair(folder)
        path = os.path.join(folder, "tracce.gpx")
        vadrel = Vadrel(binary, "--modo", "multi", "--mezzi", "2", "--traccia", path, folder=folder)
        try:
            vadrel.said(r"tracce GPX in ")
            empty = os.path.getsize(path)
            deadline = time.monotonic() + 90
            while os.path.getsize(path) == empty:
                assert time.monotonic() < deadline and vadrel.proc.poll() is None, "no write in 90 s"
                time.sleep(0.2)
            os.kill(vadrel.proc.pid, signal.SIGKILL)
        finally:
            vadrel.stop()
        subprocess.run(["xmllint", "--noout", path], check=True)
        root = ET.parse(path).getroot()
        pieces = [(t.find("g:name", GPX_NS).text, t.find("g:number", GPX_NS).text) for t in root.findall("g:trk", GPX_NS)]
        assert sorted(pieces) == [("Mezzo 0", "0"), ("Mezzo 1", "1")], pieces
        count = len(gpx_points(root))
        assert 55 <= count <= 62, count  # a minute of steps
        assert len(list(csv.DictReader(io.StringIO(gpsbabel(path))))) == count
        joined = ET.fromstring(gpsbabel(path, "-x", "track,name=Mezzo 0,pack,title=Mezzo 0", out="gpx"))
        assert [t.find("g:name", GPX_NS).text for t in joined.findall("g:trk", GPX_NS)] == ["Mezzo 0"]
        results["gpx9"] = count
    except BaseException as error:  # reported by the main thread
        results["gpx9"] = error
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def snapshot(*folders):
    """What every name in the folders is: its mode and, for a file, its bytes."""
    seen = {}
    for folder in folders:
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            st = os.lstat(path)
            data = open(path, "rb").read() if stat.S_ISREG(st.st_mode) else os.readlink(path) if stat.S_ISLNK(st.st_mode) else None
            seen[path] = (st.st_mode, st.st_rdev, data)
    return seen


def refused_outputs(binary):
    """--registra and --traccia onto the program's own files (by name, link or
    hard link), the log replayed, each other, a folder, a FIFO for the tracks,
    a device node (as root): exit code 2 before any port or file is opened,
    both paths named, every file as it was."""
    folder = tempfile.mkdtemp(prefix="vadrel-out-")
    other = tempfile.mkdtemp(prefix="vadrel-altro-")
    try:
        moving_pair(folder)
        at = lambda name: os.path.join(other, name)
        cnf = os.path.join(folder, "vadrel.cnf")
        with open(at("viaggio.nmea"), "w") as f:
            f.write(receiver_log(3)[0])
        ini = os.path.join("..", os.path.basename(folder), "vadrel.ini")
        rec, gpx = "la registrazione non può andare in ", "le tracce GPX non possono andare in "
        rows = [
            (["--registra", "vadrel.cnf"], folder, rec + cnf + ": è un file del programma (%s)" % cnf),
            (["--traccia", ini], other, gpx + os.path.join(other, ini) + ": è un file del programma (%s)"
             % os.path.join(folder, "vadrel.ini")),
            (["--registra", "viaggio.nmea", "--riproduci", "viaggio.nmea"], other,
             rec + at("viaggio.nmea") + ": è il registro che si riproduce (%s)" % at("viaggio.nmea")),
            (["--registra", "giro", "--traccia", "giro"], other,
             rec + at("giro") + ": è il file delle tracce GPX (%s)" % at("giro")),
        ]
        before = snapshot(folder, other)
        for args, cwd, said in rows:
            run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", *args],
                                 capture_output=True, text=True, errors="replace", timeout=20, cwd=cwd)
            assert run.returncode == 2 and run.stderr == "vadrel: " + said + "\n", (args, run.returncode, run.stderr)
            assert run.stdout == "", (args, run.stdout)  # no port was made
            after = snapshot(folder, other)
            after.pop(os.path.join(folder, "vadrel.lock"), None)
            assert after == before, (args, set(after.items()) ^ set(before.items()))
        print("refused outputs: %d cases, exit code 2, nothing written" % len(rows))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(other, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--seconds", type=int, default=6)
    parser.add_argument("--tolerance-ms", type=float, default=200)
    parser.add_argument("--one-at-a-time", action="store_true", help="the modes one after the other")
    parser.add_argument("--part", choices=("all", "timing", "files"), default="all")
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    if args.part in ("all", "files"):
        files_part(args.binary)
    if args.part in ("all", "timing"):
        timing_part(args)
    print("ok")


def kept_failure(check, binary, results):
    """Runs check(binary) in a thread, keeping what it raises for the main one."""
    try:
        check(binary)
    except BaseException as failure:  # noqa: B902 - handed to the main thread
        results[check.__name__] = failure


def files_part(binary):
    results = {}
    # The first minute of the tracks' appends, beside everything else.
    killed = threading.Thread(target=gpx_killed_after_a_minute, args=(binary, results))
    killed.start()
    receiver = threading.Thread(target=kept_failure, args=(receiver_into_gpsd, binary, results))
    if os.path.exists("/usr/sbin/gpsd"):
        receiver.start()
    bad_logs(binary)
    too_much(binary)
    replays_that_end(binary)
    stopped_and_continued(binary)
    port_lost_while_playing(binary)
    full_speed_waits_idle(binary)
    refused_outputs(binary)
    gpx_tracks(binary)
    if receiver.is_alive():
        receiver.join()
    if "receiver_into_gpsd" in results:
        raise results["receiver_into_gpsd"]
    killed.join()
    if isinstance(results["gpx9"], BaseException):
        raise results["gpx9"]
    print("gpx killed after a minute: %d points, well formed, joined by gpsbabel" % results["gpx9"])


def timing_part(args):
    results = {}
    threads = [threading.Thread(target=check_mode, args=(args.binary, mode, args.seconds,
                                                        args.tolerance_ms / 1000, results))
               for mode in ("gps", "radio", "multi")]
    for t in threads:
        t.start()
        if args.one_at_a_time:
            t.join()
    for t in threads:
        t.join()
    for mode, result in sorted(results.items()):
        if isinstance(result, BaseException):
            raise result
        count, median, worst, spread = result
        print("%s: %d seconds, the same bytes; off the recorded offset from the second one: median %.2f ms, "
              "worst %.2f ms; from their median lag: worst %.2f ms"
              % (mode, count, median * 1000, worst * 1000, spread * 1000))
    for mode, (count, median, worst, spread) in results.items():
        assert worst <= args.tolerance_ms / 1000, (mode, worst)


if __name__ == "__main__":
    sys.exit(main())
