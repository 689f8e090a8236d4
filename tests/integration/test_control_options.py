#!/usr/bin/python3
"""Every option through the control interface, on the real program: the
index and the 21 vehicles; the sky's options and the AIS switches and
identities set, refused with the field, kept in vadrel.ini; a TCP client
that connects late gets every target's name in its first second only with
statici_subito; the GPX tracks carry the altitude the sentences said, and
xmllint and gpsbabel read them."""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, ais_bits, ais_text, ais_unsigned, read_for  # noqa: E402


def static_names(port, seconds):
    """Connects to the TCP server and reads for `seconds`: the MMSI and name
    of each message 5 (the static data of a class A target), in order."""
    with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
        data = read_for(s, seconds)
    names, payload = [], ""
    for line in data.decode("ascii", "replace").split("\r\n"):
        fields = line.split(",")
        if not line.startswith("!AIVDM") or len(fields) < 7:
            continue
        payload = (payload if fields[2] != "1" else "") + fields[5]
        if fields[1] != fields[2]:
            continue
        bits = ais_bits(payload)
        if ais_unsigned(bits, 0, 6) == 5:
            names.append((ais_unsigned(bits, 8, 30), ais_text(bits, 112, 20).rstrip("@ ")))
    return names


def main(binary):
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="vadrel-")
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0", "--ais", "--mezzi", "3", "--utc", "--moto-reale",
                    "--frasi", "complete", "--tcp", "0", "--traccia", os.path.join(folder, "tracce.gpx"),
                    "--quota", " +12,5", folder=folder)
    try:
        where = vadrel.said_all({"url": r"in ascolto su (http://\S+)/api/v1",
                                 "tcp": r"TCP in ascolto su 127\.0\.0\.1:(\d+)"})
        url, tcp = where["url"], int(where["tcp"])
        client = Client(url)

        index = client.index()
        paths = {line["risorsa"]: line["metodi"] for line in index}
        checks.expect(paths.get("/api/v1/ais") == ["GET", "PATCH"] and "/api/v1/mezzi" in paths and
                      all(line["descrizione"] for line in index), "GET /api/v1: %r" % index)
        vehicles = client.vehicles()
        checks.expect([v["numero"] for v in vehicles] == list(range(21)) and vehicles[2]["ais"]["mmsi"] == "900000002",
                      "GET /api/v1/mezzi: %r" % vehicles[:3])
        try:
            client.request("GET", "/api/v1/nulla")
            checks.expect(False, "a path that does not exist answered")
        except VadrelError as e:
            checks.expect(e.status == 404 and "GET /api/v1 " in str(e) and "/openapi.yaml" in str(e),
                          "a 404 leads to the index and the description: %s" % e)

        # A number on the command line: a sign, a comma, blanks, as every option reads one.
        checks.expect(client.receiver()["quota"] == 12.5, "--quota ' +12,5': %r" % client.receiver())
        # One rule, one message, wherever the value comes from: a vehicle that
        # does not exist, a latitude past a pole.
        for ask, field, reason in (
                (lambda: client.vehicle(21), "mezzo", "il mezzo 21 non esiste: i mezzi vanno da 0 a 20"),
                (lambda: client.set_vehicle(3, lat=95), "lat",
                 "la latitudine 95 è fuori campo: va da -90 (sud) a 90 (nord) gradi")):
            try:
                ask()
                checks.expect(False, "%s accepted" % field)
            except VadrelError as e:
                checks.expect((e.field, e.reason) == (field, reason), "refused naming %s: %s" % (field, e))
        refused = subprocess.run([binary, "--senza-finestra", "--percorso", "21=giro.gpx"], capture_output=True,
                                 text=True, timeout=30, check=False)
        checks.expect(refused.returncode == 2 and
                      refused.stderr.endswith("il mezzo 21 non esiste: i mezzi vanno da 0 a 20\n"),
                      "the command line's vehicle 21: %r" % refused.stderr)

        # The sky's options: set, read back, refused with the field, kept.
        client.set_receiver(satelliti=True, maschera=20, talker="GN", quota=120.5)
        receiver = client.receiver()
        checks.expect((receiver["satelliti"], receiver["maschera"], receiver["talker"]) == (True, 20, "GN"),
                      "the sky's options read back: %r" % receiver)
        for fields, field in (({"maschera": 95}, "maschera"), ({"frequenza": 3}, "frequenza"),
                              ({"ostacoli": "ovest"}, "ostacoli")):
            try:
                client.set_receiver(**fields)
                checks.expect(False, "%r accepted" % fields)
            except VadrelError as e:
                checks.expect(e.status == 400 and e.field == field, "%r refused naming %s: %s" % (fields, field, e))
        checks.expect(client.receiver()["maschera"] == 20, "a refusal changes nothing")

        # AIS: a name through the vehicle, refused MMSI of another vehicle.
        client.set_identity(2, nome="Libeccio", nominativo="IABC")
        try:
            client.set_identity(2, mmsi="900000001")
            checks.expect(False, "an MMSI of another vehicle accepted")
        except VadrelError as e:
            checks.expect(e.status == 400 and e.field == "ais.mmsi", "another vehicle's MMSI refused: %s" % e)

        # A client that connects after the first second: no names until 6
        # minutes, unless statici_subito; then within its first second.
        time.sleep(2)
        late = static_names(tcp, 1.5)
        checks.expect(late == [], "without statici_subito a late client waits for the names: %r" % late)
        ais = client.set_ais(statici_subito=True)
        checks.expect(ais["statici_subito"] is True and ais["attivi"] is True, "PATCH /api/v1/ais: %r" % ais)
        started = time.monotonic()
        names = static_names(tcp, 1.0)
        checks.expect((900000002, "LIBECCIO") in names and (900000001, "MEZZO 1") in names,
                      "a late client gets every target's name in its first second: %r" % names)
        checks.expect(time.monotonic() - started < 1.5, "read within a second")
        again = static_names(tcp, 1.0)
        checks.expect(sorted(again) == sorted(names), "so does each new client: %r" % again)
        time.sleep(1.2)  # a second with the altitude 120.5 in its GGA
    finally:
        code, stderr, _ = vadrel.finish()
    checks.expect(code == 0, "orderly end: %d %s" % (code, stderr[-300:]))

    with open(os.path.join(folder, "vadrel.ini"), encoding="utf-8") as f:
        ini = f.read()
    for line in ("satelliti=true", "maschera=20", "talker=GN", "statici_subito=true", "mezzo2_nome=Libeccio",
                 "mezzo2_nominativo=IABC"):
        checks.expect(re.search("^%s$" % re.escape(line), ini, re.M) is not None, "vadrel.ini keeps %s" % line)
    checks.expect("@Invalid" not in ini, "no @Invalid() in vadrel.ini")

    gpx = os.path.join(folder, "tracce.gpx")
    with open(gpx, encoding="utf-8") as f:
        text = f.read()
    checks.expect(re.search(r"<ele>120\.5</ele><time>", text) is not None, "the GGA's altitude in <ele>: %s" %
                  text[:600])
    lint = subprocess.run(["xmllint", "--noout", gpx], capture_output=True, text=True) \
        if shutil.which("xmllint") else None
    checks.expect(lint is None or lint.returncode == 0, "xmllint reads the tracks: %s" % (lint and lint.stderr))
    if shutil.which("gpsbabel"):
        babel = subprocess.run(["gpsbabel", "-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", "-"],
                               capture_output=True, text=True, timeout=30)
        header = babel.stdout.splitlines()[0] if babel.stdout else ""
        rows = [row.split(",") for row in babel.stdout.splitlines()[1:]]
        column = header.split(",").index("Altitude") if "Altitude" in header.split(",") else -1
        checks.expect(babel.returncode == 0 and column >= 0 and any(r[column] == "120.5" for r in rows),
                      "gpsbabel reads the altitude: %s %s" % (header, babel.stderr))
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
