#!/usr/bin/python3
"""The routes the real program keeps for its next start: a name as long as a
route may have read back whole after a restart, a longer one refused at once;
the program killed (SIGKILL) while it keeps a new route, again and again,
each restart going on along the old route or the new one, whole; a route
given on a full disk (a small tmpfs) followed, said not kept, and kept once
there is room; a route given just before SIGTERM kept whole before the end;
a kept route put in place by a file hostile to the reader refused by its hash
without being parsed. The answer to a PUT says the keeping under way; GET
says what became of it."""

import glob
import json
import queue
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel  # noqa: E402

checks = Checks()
expect = checks.expect


def started(binary, folder):
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", folder=folder)
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    return vadrel, url, Client(url, timeout=60)


def put(url, n, body, content_type):
    """PUT a route; the status and the JSON answer, refusals included."""
    request = urllib.request.Request("%s/api/v1/mezzi/%d/percorso" % (url, n), data=body, method="PUT",
                                     headers={"Content-Type": content_type})
    try:
        with urllib.request.urlopen(request, timeout=60) as reply:
            return reply.status, json.load(reply)
    except urllib.error.HTTPError as e:
        return e.code, json.load(e)


def csv_route(points, lat=45.0):
    return ("lat,lon\n" + "".join("%.6f,%.6f\n" % (lat + i * 1e-5, 9.0) for i in range(points))).encode()


KEEPING = "in corso"


def kept_state(client, n, seconds=30):
    """Vehicle n's route once its keeping is no longer under way."""
    deadline = time.monotonic() + seconds
    while True:
        route = client.route(n, count=1)
        if KEEPING not in route.get("perche_non_tenuto", "") or time.monotonic() > deadline:
            return route
        time.sleep(0.05)


def resumed_points(said, n=0):
    """The points of the route vehicle n took up again at the start, or None."""
    for line in said:
        prefix = "vadrel: il mezzo %d riprende il suo percorso dal punto raggiunto (" % n
        if line.startswith(prefix):
            return int(line[len(prefix):].split()[0])
    return None


class Heard:
    """Standard error's lines as they come, read by a thread of their own."""

    def __init__(self, vadrel):
        self.lines = queue.Queue()
        threading.Thread(target=lambda: [self.lines.put(line) for line in vadrel.proc.stderr], daemon=True).start()

    def said(self, pattern, seconds):
        """The first line from here on that matches, within `seconds`; None after."""
        deadline = time.monotonic() + seconds
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if re.search(pattern, line):
                return line


def start_lines(binary, folder, seconds=2.0):
    """What a start in `folder` says on standard error in its first seconds."""
    vadrel = Vadrel(binary, folder=folder)
    time.sleep(seconds)
    code, said, _ = vadrel.finish()
    expect(code == 0, "a start in %s ends with 0: %d %s" % (folder, code, said))
    return said.splitlines()


def a_long_name_across_a_restart(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-nome-")
    # 1024 characters of two bytes each, with what XML must escape.
    name = ("è<&>\"" * 205)[:1024]
    vadrel, url, client = started(binary, folder)
    try:
        body = json.dumps({"nome": name, "punti": [{"lat": 45.0, "lon": 9.0}, {"lat": 45.01, "lon": 9.0}]})
        status, given = put(url, 0, body.encode(), "application/json")
        expect(status == 200 and given.get("nome") == name and given.get("tenuto") is False
               and KEEPING in given.get("perche_non_tenuto", ""),
               "the longest name taken, its keeping under way: %d %r" %
               (status, {k: given.get(k) for k in ("tenuto", "perche_non_tenuto", "errore")}))
        expect(kept_state(client, 0)["tenuto"] is True, "then kept")
        for what, body, kind in (
                ("JSON", json.dumps({"nome": name + "x", "punti": [{"lat": 45.0, "lon": 9.0}]}).encode(),
                 "application/json"),
                ("GPX", ("<gpx><rte><name>%s</name><rtept lat=\"45\" lon=\"9\"/></rte></gpx>" % ("g" * 5000)).encode(),
                 "application/gpx+xml")):
            status, refused = put(url, 0, body, kind)
            reason = refused.get("errore", "")
            expect(status == 400 and ("1024 caratteri" in reason or "4096" in reason),
                   "%s: a longer name refused at once: %d %r" % (what, status, refused))
        expect(client.route(0, count=1)["nome"] == name, "the route in force stays")
    finally:
        vadrel.stop()
    vadrel, url, client = started(binary, folder)
    try:
        route = client.route(0, count=1)
        expect(route["nome"] == name and route["tenuto"] is True, "after a restart, the name whole: %r" % route["nome"][:40])
    except VadrelError as e:
        expect(False, "after a restart the route is there: %s" % e)
    finally:
        vadrel.stop()


def put_quietly(url, n, body, content_type):
    """put() from a thread whose program may be killed meanwhile."""
    try:
        put(url, n, body, content_type)
    except OSError:
        pass


def kills_while_keeping(binary, tries=6):
    """SIGKILL while a new route is kept: the restart goes on along the old
    route or the new one, never neither."""
    folder = tempfile.mkdtemp(prefix="vadrel-uccisioni-")
    chance = random.Random(34)
    points = 150000
    vadrel, url, client = started(binary, folder)
    # The first route, timed from the keeping's first file to its end.
    thread = threading.Thread(target=put_quietly, args=(url, 0, csv_route(points), "text/csv"), daemon=True)
    thread.start()
    while thread.is_alive() and not any(".tmp-" in name for name in os.listdir(folder)):
        pass
    keeping = time.monotonic()
    thread.join(60)
    expect(kept_state(client, 0, 60)["tenuto"] is True, "the first route kept")
    keeping = time.monotonic() - keeping
    vadrel.stop()
    old = points
    outcomes = []
    for attempt in range(tries):
        new = points + 1000 * (attempt + 1)
        vadrel, url, client = started(binary, folder)
        # Two kills in three within the keeping, from its first file on;
        # the others at any moment of the upload.
        at_keeping = attempt % 3 != 2
        delay = chance.uniform(0.0, keeping * 1.2 if at_keeping else 2.0)
        thread = threading.Thread(target=put_quietly, args=(url, 0, csv_route(new, 44.0 + attempt), "text/csv"),
                                  daemon=True)
        thread.start()
        while at_keeping and thread.is_alive() and not any(".tmp-" in name for name in os.listdir(folder)):
            pass
        time.sleep(delay)
        vadrel.proc.kill()
        vadrel.proc.wait()
        vadrel.proc.stdout.close()
        vadrel.proc.stderr.close()
        thread.join(60)
        said = start_lines(binary, folder, 1.0)
        got = resumed_points(said)
        outcomes.append((at_keeping, round(delay, 3), old, new, got))
        expect(got in (old, new), "try %d: the old route (%d) or the new one (%d), whole: %r %r" %
               (attempt, old, new, got, [line for line in said if "percorso" in line]))
        left = sorted(name for name in os.listdir(folder) if name.startswith("vadrel.percorso"))
        expect(len(left) == 2, "try %d: the state and one route, nothing left over: %r" % (attempt, left))
        if got is not None:
            old = got
    print("keeping took %.3f s; kills (within the keeping, after s, old, new, resumed): %r" % (keeping, outcomes))


def given_just_before_the_end(binary):
    """SIGTERM right after a large route is given: the end waits for its
    keeping, and the next start goes on along it."""
    folder = tempfile.mkdtemp(prefix="vadrel-fine-")
    vadrel, url, client = started(binary, folder)
    status, given = put(url, 0, csv_route(200000), "text/csv")
    expect(status == 200 and given.get("punti_totali") == 200000, "given: %d %r" % (status, given.get("errore")))
    code = vadrel.stop()
    expect(code == 0, "the end after the keeping: %r" % code)
    said = start_lines(binary, folder, 1.0)
    expect(resumed_points(said) == 200000, "kept before the end: %r" % [line for line in said if "percorso" in line])


def a_full_disk(binary):
    mount = tempfile.mkdtemp(prefix="vadrel-pieno-")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", mount],
                      capture_output=True).returncode != 0:
        print("SKIPPED a full disk: this machine does not let a tmpfs be mounted here")
        os.rmdir(mount)
        return
    try:
        vadrel, url, client = started(binary, mount)
        try:
            filler = os.path.join(mount, "riempitivo")
            fd = os.open(filler, os.O_WRONLY | os.O_CREAT)
            try:
                while os.write(fd, b"\0" * 4096) > 0:
                    pass
            except OSError:
                pass
            os.close(fd)
            status, given = put(url, 0, csv_route(20000), "text/csv")
            expect(status == 200 and given.get("tenuto") is False, "followed, not said kept: %d %r" % (status, given))
            given = kept_state(client, 0)
            expect(given.get("tenuto") is False and "pieno" in given.get("perche_non_tenuto", ""),
                   "followed, said not kept, and why: %d %r" %
                   (status, {k: given.get(k) for k in ("tenuto", "perche_non_tenuto")}))
            heard = Heard(vadrel)
            expect(heard.said(r"il mezzo 0: il percorso non si può tenere per il prossimo avvio: .*riprova", 10),
                   "said on standard error, with the retry")
            expect(client.route(0, count=1)["tenuto"] is False, "GET says it too")
            os.remove(filler)
            # The table's saves come every 5 seconds.
            expect(heard.said(r"il percorso del mezzo 0 ora è tenuto per il prossimo avvio", 20),
                   "kept with the table's next save once there is room")
            expect(client.route(0, count=1)["tenuto"] is True, "GET: kept")
        finally:
            vadrel.proc.kill()
            vadrel.stop()
        said = start_lines(binary, mount, 1.0)
        expect(resumed_points(said) == 20000, "after a kill, the route kept on the disk that was full: %r" % said)
    finally:
        subprocess.run(["umount", mount])
        os.rmdir(mount)


def a_hostile_kept_file(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-ostile-")
    vadrel, url, client = started(binary, folder)
    put(url, 0, csv_route(10), "text/csv")
    vadrel.stop()
    (gpx,) = glob.glob(os.path.join(folder, "vadrel.percorso.0.*.gpx"))
    # One element with 10^5 attributes: quadratic for the XML reader.
    with open(gpx, "w") as f:
        f.write("<gpx><rte><rtept lat=\"1\" lon=\"2\" %s/></rte></gpx>" % " ".join("a%d=\"\"" % i for i in range(100000)))
    start = time.monotonic()
    said = start_lines(binary, folder, 0.5)
    took = time.monotonic() - start
    expect(any("non è il percorso che" in line for line in said), "refused by its hash: %r" % said)
    expect(took < 10, "without being parsed: the start and stop took %.1f s" % took)


def main():
    binary = sys.argv[1]
    parts = (a_long_name_across_a_restart, a_hostile_kept_file, kills_while_keeping, given_just_before_the_end,
             a_full_disk)
    # Some of them by name: test_kept_routes.py vadrel a_full_disk
    for part in parts:
        if len(sys.argv) <= 2 or part.__name__ in sys.argv[2:]:
            part(binary)
    checks.finish()


if __name__ == "__main__":
    main()
