#!/usr/bin/python3
"""Texts from files and clients that try to steer the operator's terminal,
on the real program: route names with escape sequences from the control
interface (JSON, GPX, KML) and a CSV route whose file name holds them, on
the command line; control characters in vadrel.ini's [ais] values; a
command line refused for such a value. Standard error and the monitor on
standard output carry none of those bytes, each written out instead.
Beside them, a vadrel.cnf of the end marker alone: vehicle 0 stays where the
panel puts it at start-up (44 2' N, 10 8' E, as a first run), and so does its
record written back."""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client  # noqa: E402
from vadrel_run import Checks, Vadrel  # noqa: E402

checks = Checks()
expect = checks.expect

RETITLE = "\x1b]0;preso\x07\x1b[2J"  # a new title, then the screen cleared
MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
# What may not reach a terminal: ESC, BEL, CR, C1 controls (CSI among them),
# a right-to-left override; U+FFFD would be a byte that is not UTF-8.
FORBIDDEN = ["\x1b", "\x07", "\r", "\x9b", "\u009b", "\u202e", "\ufffd"]


def clean(text, what):
    found = sorted({"U+%04X" % ord(c) for c in text if c in FORBIDDEN})
    expect(not found, "%s: no control character, found %s" % (what, found))


def points(n):
    return [(45.0 + n * 0.01, 9.0), (45.0 + n * 0.01, 9.01)]


def gpx(name, n):
    return ("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"prova\" "
            "xmlns=\"http://www.topografix.com/GPX/1/1\"><rte><name>%s</name>%s</rte></gpx>\n" % (
                name, "".join("<rtept lat=\"%r\" lon=\"%r\"/>" % p for p in points(n)))).encode()


def kml(name, n):
    return ("<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>%s</name>"
            "<LineString><coordinates>%s</coordinates></LineString></Placemark></kml>\n" % (
                name, " ".join("%r,%r" % (lon, lat) for lat, lon in points(n)))).encode()


def refused_command_line(binary, folder):
    """A command line whose value holds the sequence: refused, echoed safely."""
    for args in (["--percorso", "1=" + os.path.join(folder, "manca" + RETITLE + ".gpx")],
                 ["--tcp", RETITLE]):
        run = subprocess.run([binary, "--senza-finestra", "--cartella", folder, "--com", "2=pty", "--durata", "3",
                              *args], capture_output=True, timeout=30)
        said = run.stderr.decode("utf-8", "replace")
        expect(run.returncode != 0, "%s refused: %d %r" % (args[0], run.returncode, said))
        clean(said, "%s refused" % args[0])
        expect("\\x1b]0;preso\\x07" in said, "%s: the value written out: %r" % (args[0], said))


def main(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-")
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(MARKER)
    with open(os.path.join(folder, "vadrel.ini"), "wb") as f:
        f.write(("[ais]\nattivi=%s\nmezzo0_nome=NAVE\x07\x1b[1A\nmezzo0_nominativo=\xc2\x9b2J\n" % RETITLE)
                .encode("latin-1"))
    # A route's name holds no C0 control (the kept GPX could not): the C1
    # controls and the reordering marks that XML allows are written out.
    csv = os.path.join(folder, "giro\u009b2J\u202e.csv")
    with open(csv, "w") as f:
        f.write("lat,lon\n" + "".join("%r,%r\n" % p for p in points(1)))

    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--percorso", "1=" + csv, folder=folder)
    said = []
    try:
        first = vadrel.sentence()
        expect(",4402.0000,N,01008.0000,E," in first,
               "a vadrel.cnf of the marker alone: vehicle 0 where the panel put it: %s" % first)
        for line in vadrel.proc.stderr:
            said.append(line)
            if "in ascolto su" in line:
                break
        url = said[-1].split("in ascolto su ", 1)[1].split("/api/v1")[0]
        client = Client(url, timeout=20)
        try:
            client.request("PUT", "/api/v1/mezzi/4/percorso",
                           {"nome": RETITLE, "punti": [{"lat": a, "lon": b} for a, b in points(4)]})
            expect(False, "a name with escape sequences refused")
        except Exception as e:  # the client raises on 400
            expect(getattr(e, "status", None) == 400, "a name with escape sequences refused with 400: %r" % e)
        client.request("PUT", "/api/v1/mezzi/4/percorso",
                       {"nome": "json\u009b2J", "punti": [{"lat": a, "lon": b} for a, b in points(4)]})
        client.set_route(2, gpx("\u009b2J\u202etxt.exe", 2), "application/gpx+xml")
        client.set_route(3, kml("kml" + "\u0085" + "riga", 3), "application/vnd.google-earth.kml+xml")
        for _ in range(3):
            line = vadrel.sentence()
            clean(line, "the monitor")
        time.sleep(0.5)
    finally:
        code, rest, _ = vadrel.finish()
    said = "".join(said) + rest
    expect(code == 0, "ends in order: %d" % code)
    clean(said, "standard error")
    for shown, what in (("percorso \"json\\u009b2J\"", "JSON's name"),
                        ("\\u009b2J\\u202etxt.exe", "GPX's name"),
                        ("kml\\u0085riga", "KML's name"),
                        ("giro\\u009b2J\\u202e.csv", "the CSV file's name"),
                        ("[ais] attivi", "the [ais] value refused")):
        expect(shown in said, "%s written out on standard error" % what)
    with open(os.path.join(folder, "vadrel.cnf"), "rb") as f:
        table = f.read()
    expect(table.startswith(b'44,2,"N",,10,8,"E",0,0,#TRUE#,#FALSE#\r\n'),
           "vehicle 0's record written back as a first run writes it: %r" % table[:40])
    refused_command_line(binary, folder)
    if checks.failures:
        print("standard error:\n" + said)
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
