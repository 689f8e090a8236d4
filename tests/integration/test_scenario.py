#!/usr/bin/python3
"""The real program with a scenario: a bad file refused with its line and key
before anything opens (exit 2, the folder untouched, no port made), a FIFO
refused without waiting, paths taken beside the scenario; then a short
scenario run headless: the fix lost and found again, a drift of the sent
position, each event marked on the monitor, and its duration ending the
program in order."""

import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, read_for  # noqa: E402

checks = Checks()


def refused(binary, text, expected, name="s.yaml"):
    """Runs a scenario that must be refused: exit 2, the message, nothing made."""
    scenarios = tempfile.mkdtemp(prefix="vadrel-scenario-")
    folder = tempfile.mkdtemp(prefix="vadrel-")
    path = os.path.join(scenarios, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", "--scenario", path],
                         capture_output=True, text=True, timeout=20)
    checks.expect(run.returncode == 2, "%s: exit %d, not 2" % (expected, run.returncode))
    checks.expect(expected in run.stderr, "%r not in %r" % (expected, run.stderr))
    checks.expect(os.listdir(folder) == [], "a refused scenario leaves the folder untouched: %r" % os.listdir(folder))
    checks.expect("COM 2" not in run.stdout, "no port made for a refused scenario")


def bad_files(binary):
    refused(binary, "durata: 10\nmezzi:\n  - numero: 0\n    velocita: cento\n",
            's.yaml:4: velocita: "cento" non è una velocità')
    refused(binary, "durata: 10\neventi:\n  - {a: 5, fix: perso}\n  - {a: 11, fix: ripreso}\n",
            "s.yaml:4: a: l'evento alle 11 s viene dopo la durata dello scenario (10 s)")
    refused(binary, "seme: 1\npippo: 3\n", "s.yaml:2: pippo: chiave sconosciuta")
    refused(binary, "uscite: {tcp: \"127.0.0.1:99999\"}\n", "s.yaml:1: tcp: --tcp:")
    refused(binary, "a: &x [1]\nb: *x\n", "ancore e alias")
    refused(binary, '{"durata": 5, "modo": "satellite"}', "s.json:1: modo: --modo vuole gps, radio o multi", "s.json")


def switches_off(binary):
    """false is an option's "no", for a switch (--utc=no) as for a value
    (--tcp no); a scenario of one second ends by itself."""
    scenarios = tempfile.mkdtemp(prefix="vadrel-scenario-")
    path = os.path.join(scenarios, "spento.yaml")
    with open(path, "w", encoding="utf-8") as f:
        f.write("durata: 1\nuscite: {tcp: false, udp: false}\nricevitore: {utc: false, senza_fix: no}\n")
    folder = tempfile.mkdtemp(prefix="vadrel-")
    run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", "--scenario", path],
                         capture_output=True, text=True, timeout=30)
    checks.expect(run.returncode == 0, "false switches off: exit %d %r" % (run.returncode, run.stderr))
    checks.expect("TCP in ascolto" not in run.stderr, "no TCP server with tcp: false")


def fifo(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-")
    path = os.path.join(folder, "s.yaml")
    os.mkfifo(path)
    start = time.monotonic()
    run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--scenario", path],
                         capture_output=True, text=True, timeout=20)
    checks.expect(run.returncode == 2 and "non è un file normale" in run.stderr,
                  "a FIFO as scenario: %d %r" % (run.returncode, run.stderr))
    checks.expect(time.monotonic() - start < 10, "a FIFO is refused without waiting for a writer")


def fields(line):
    return line.split("*")[0].split(",")


def run_scenario(binary):
    """Six seconds: the fix lost at 2 and found at 3, a drift north from 4;
    recorded into a log named relative to the scenario's folder."""
    scenarios = tempfile.mkdtemp(prefix="vadrel-scenario-")
    path = os.path.join(scenarios, "giro.yaml")
    with open(path, "w", encoding="utf-8") as f:
        f.write("seme: 7\n"
                "durata: 6\n"
                "registra: registro.log\n"
                "uscite: {tcp: \"127.0.0.1:0\"}\n"
                "ricevitore: {utc: true, moto_reale: true}\n"
                "mezzi:\n"
                "  - {numero: 0, posizione: \"45 30 0 N 9 12 0 E\", rotta: 90, velocita: 10 m/s}\n"
                "eventi:\n"
                "  - {a: 2, fix: perso}\n"
                "  - {a: 3, fix: ripreso}\n"
                "  - {a: 4, deriva: {metri_al_secondo: 500, rotta: 0}}\n")
    started = time.monotonic()
    vadrel = Vadrel(binary, "--scenario", path)
    port = vadrel.tcp_port()
    client = socket.create_connection(("127.0.0.1", port), timeout=15)
    data = read_for(client, 30)  # to the end of the scenario
    code = vadrel.proc.wait(timeout=20)
    elapsed = time.monotonic() - started
    out = vadrel.proc.stdout.read()
    checks.expect(code == 0, "the scenario's end is an orderly one: exit %d" % code)
    checks.expect(elapsed < 15, "the duration ends the program (%.1f s)" % elapsed)
    for mark in ["scenario 2 s: fix perso", "scenario 3 s: fix ripreso", "scenario 4 s: deriva 500 m/s verso 0"]:
        checks.expect(mark in out, "the monitor marks %r: %r" % (mark, out[-600:]))
    rmc = [fields(line) for line in data.decode("ascii", "replace").split("\r\n") if line.startswith("$GPRMC")]
    statuses = "".join(r[2] for r in rmc)
    checks.expect(re.search("AV+A", statuses) is not None, "the fix lost and found again: %r" % statuses)
    valid = [r for r in rmc if r[2] == "A"]
    checks.expect(len(valid) >= 2, "seconds with a fix: %r" % statuses)
    if len(valid) >= 2:
        latitudes = [float(r[3]) for r in valid]
        checks.expect(latitudes[-1] - latitudes[0] > 0.1,
                      "the drift moves the latitude sent north: %r" % latitudes)
        checks.expect(all(r[7] == valid[0][7] and r[8] == valid[0][8] for r in valid),
                      "the speed and course sent stay the true ones: %r" % [(r[7], r[8]) for r in valid])
    log = os.path.join(scenarios, "registro.log")
    checks.expect(os.path.exists(log) and os.path.getsize(log) > 0, "the log beside the scenario")


def across_the_leap_second(binary):
    """A scenario's seconds are elapsed ones: over the leap second at the end
    of 2016, `durata: 12` at max sends inizio's own second and the twelve
    after it (23:59:60 among them), and the event at 10 comes with 23:59:60."""
    scenarios = tempfile.mkdtemp(prefix="vadrel-scenario-")
    path = os.path.join(scenarios, "salto.yaml")
    with open(path, "w", encoding="utf-8") as f:
        f.write("inizio: 2016-12-31T23:59:50Z\nvelocita_tempo: max\ndurata: 12\nregistra: salto.nmea\n"
                "controllo: \"no\"\ntcp: \"no\"\nricevitore: {utc: true}\neventi:\n  - {a: 10, fix: perso}\n")
    vadrel = Vadrel(binary, "--scenario", path)
    code = vadrel.proc.wait(timeout=30)
    out = vadrel.proc.stdout.read()
    checks.expect(code == 0, "the run ends by itself: exit %d" % code)
    checks.expect("scenario 10 s: fix perso" in out, "the event marked: %r" % out[-300:])
    with open(os.path.join(scenarios, "salto.nmea"), encoding="ascii") as f:
        rmc = [fields(line) for line in f.read().splitlines() if line.startswith("$GPRMC")]
    stamps = [(r[1], r[2]) for r in rmc]
    want = ([("2359%02d" % s, "A") for s in range(50, 60)] + [("235960", "V")]
            + [("000000", "V"), ("000001", "V")])
    checks.expect(stamps == want, "the seconds sent, each once: %r" % stamps)


def through_the_interface(binary):
    """PUT /api/v1/scenario on a running program: refused with line and key,
    a start-only setting refused with its group, nothing changed, then one
    played: the vehicle and the autopilot changed at once, the progress in
    the state, the event marked."""
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0")
    try:
        url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
        client = Client(url)
        for text, field, part in (
                (b"eventi:\n  - {a: 1, mezzo: 0, velocita: cento}\n", "velocita",
                 'scenario:2: velocita: "cento" non'),
                (b"uscite: {tcp: 10110}\n", "uscite.tcp", "scenario:1: uscite.tcp: vale solo all'avvio"),
                (b"modo: radio\npilota: {udp_ascolto: 10111}\n", "pilota.udp_ascolto",
                 "scenario:2: pilota.udp_ascolto: vale solo all'avvio"),
                (b"a: &x 1\nb: *x\n", "scenario", "ancore e alias")):
            try:
                client.play_scenario(text)
                checks.expect(False, "%r accepted" % text)
            except VadrelError as error:
                checks.expect(error.status == 400 and error.field == field and part in str(error),
                              "%r refused as %r: %d %r %r" % (text, part, error.status, error.field, str(error)))
        checks.expect("scenario" not in client.state(), "no scenario in the state before one is played")
        checks.expect(client.state()["modo"] == "gps", "a refused scenario changes nothing")
        answer = client.play_scenario(b"modo: multi\nmezzi:\n  - {numero: 2, rotta: 123}\n"
                                      b"pilota: {attivo: true, virata: 7}\n"
                                      b"eventi:\n  - {a: 1, fix: perso}\n  - {a: 600, fix: ripreso}\n")
        checks.expect(answer.get("eventi") == 2 and answer.get("eventi_fatti") == 0,
                      "the answer is the scenario's progress: %r" % answer)
        checks.expect(client.vehicle(2)["rotta"] == 123 and client.state()["modo"] == "multi",
                      "the settings applied at once")
        pilot = client.request("GET", "/api/v1/pilota")
        checks.expect(pilot["attivo"] is True and pilot["virata"] == 7, "the autopilot's group taken: %r" % pilot)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and client.state()["scenario"]["eventi_fatti"] < 1:
            time.sleep(0.2)
        scenario = client.state()["scenario"]
        checks.expect(scenario["eventi_fatti"] == 1 and scenario["prossimo"] == {"a": 600, "evento": "fix ripreso"},
                      "the state tells the progress: %r" % scenario)
        checks.expect(client.state()["ricevitore"]["senza_fix"] is True, "the event lost the fix")
    finally:
        code, said, _ = vadrel.finish()
        checks.expect(code == 0, "ends in order: %d %s" % (code, said[-300:]))


GPX = ('<?xml version="1.0"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n'
       '<rte><rtept lat="45.5" lon="9.2"/><rtept lat="45.6" lon="9.3"/><rtept lat="45.7" lon="9.3"/></rte>\n'
       '</gpx>\n')


def marks_and_routes(binary):
    """An event gives a route from a file beside the scenario; the events'
    WebSocket carries each event's mark with the second's simulated time; a
    route file that cannot be read refuses the scenario at its line."""
    refused(binary, "eventi:\n  - {a: 1, fix: perso}\n  - {a: 2, mezzo: 1, percorso: manca.gpx}\n",
            "s.yaml:3: percorso: manca.gpx: ")
    scenarios = tempfile.mkdtemp(prefix="vadrel-scenario-")
    files = {"giro.gpx": GPX,
             "segni.yaml": "inizio: 2030-01-01T00:00:00Z\ndurata: 10\ncontrollo: \"127.0.0.1:0\"\neventi:\n"
                           "  - {a: 3, mezzo: 1, percorso: {file: giro.gpx, fine: ciclo}}\n  - {a: 4, fix: perso}\n"}
    for name, text in files.items():
        with open(os.path.join(scenarios, name), "w", encoding="utf-8") as f:
            f.write(text)
    vadrel = Vadrel(binary, "--scenario", os.path.join(scenarios, "segni.yaml"))
    try:
        client = Client(vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1))
        marks = []
        with client.events(timeout=5) as events:
            while len(marks) < 2:
                second = events.next()
                marks += [(mark, second.get("ora")) for mark in second.get("scenario", [])]
        # The seconds count from inizio: the event at 3 goes with the second 00:00:03.
        checks.expect(marks == [({"indice": 0, "a": 3, "evento": "mezzo 1: percorso giro.gpx (fine=ciclo)"},
                                 "2030-01-01T00:00:03.000Z"),
                                ({"indice": 1, "a": 4, "evento": "fix perso"}, "2030-01-01T00:00:04.000Z")],
                      "the events' marks with their simulated time: %r" % marks)
        route = client.route(1)
        checks.expect(len(route.get("punti", [])) == 3, "the event gave vehicle 1 its route: %r" % route)
    finally:
        code = vadrel.proc.wait(timeout=20)
        checks.expect(code == 0, "the scenario ends in order: %d" % code)


def big_body(binary):
    """A 1 MiB scenario sent while the seconds go on: they keep their pace
    while it is read, and a second PUT meanwhile is refused with 409."""
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--tcp", "127.0.0.1:0")
    try:
        said = {}
        while len(said) < 2:
            match = vadrel.said(r"TCP in ascolto su 127\.0\.0\.1:(\d+)|in ascolto su (http://\S+)/api/v1")
            said.update({k: v for k, v in zip(("port", "url"), match.groups()) if v})
        url, port = said["url"], int(said["port"])
        events = b"".join(b"  - {a: %d, fix: %s}\n" % (100 + i, b"perso" if i % 2 else b"ripreso")
                          for i in range(45000))
        body = b"eventi:\n" + events[:1024 * 1024 - 100]
        body = body[:body.rfind(b"\n") + 1]
        feed = socket.create_connection(("127.0.0.1", port), timeout=10)
        arrivals = []
        answers = {}

        def put(name):
            try:
                answers[name] = Client(url, timeout=30).play_scenario(body)
            except VadrelError as error:
                answers[name] = error

        first = threading.Thread(target=put, args=("first",))
        started = time.monotonic()
        first.start()
        time.sleep(0.05)  # the first on its way; the second must come while it is read
        put("second")
        while first.is_alive() or time.monotonic() - started < 3:
            data = feed.recv(65536)
            arrivals += [time.monotonic()] * data.count(b"$GPRMC")
            if time.monotonic() - started > 20:
                break
        first.join()
        feed.close()
        gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
        checks.expect(isinstance(answers.get("first"), dict) and answers["first"].get("eventi", 0) > 30000,
                      "the 1 MiB scenario played: %r" % str(answers.get("first"))[:200])
        second = answers.get("second")
        checks.expect(isinstance(second, VadrelError) and second.status == 409,
                      "a second PUT while the first is read: %r" % second)
        checks.expect(gaps and max(gaps) < 1.5, "the seconds keep their pace meanwhile: %r" % gaps)
        print("1 MiB: %.2f s to play; the longest gap between seconds meanwhile %.2f s"
              % (time.monotonic() - started, max(gaps) if gaps else -1))
    finally:
        vadrel.finish()


def main():
    binary = sys.argv[1]
    marks_and_routes(binary)
    big_body(binary)
    bad_files(binary)
    fifo(binary)
    switches_off(binary)
    run_scenario(binary)
    across_the_leap_second(binary)
    through_the_interface(binary)
    checks.finish()


if __name__ == "__main__":
    main()
