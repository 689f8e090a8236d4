#!/usr/bin/python3
"""The AIS targets of the real program, read by gpsd: vehicles 1 and 2 of
"--mezzi 3" are targets around vehicle 0, with the MMSI, class and names of
vadrel.ini, at their positions, speeds and courses; the same lines go after
each second's $GPRMC to the virtual port, UDP and the recorder. gpsd
follows the moving target live on the TCP server; the first second, which
introduces every target before gpsd is up, it reads from the recorder's
log. Without --ais none goes anywhere (the golden tests keep every byte)."""

import math
import os
import socket
import sys
import tempfile
import time

from vadrel_run import Checks, GpsdWatch, Vadrel, read_port, sentences_of

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ais"))
from decoders import gpsd_reports as decoded_by_gpsd  # noqa: E402

EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'
MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
# Vehicle 0 the own ship, still; 1 east at 50 km/h (27 kn: a class A report
# every 2 s); 2 still, class B.
VEHICLES = [b'44,0,"N",,10,0,"E",0,0,#TRUE#,#FALSE#',
            b'44,1,"N",,10,2,"E",50,90,#TRUE#,#FALSE#',
            b'44,3,"N",,10,4,"E",0,0,#TRUE#,#FALSE#']
INI = """[ais]
mezzo1_nome=Alfa
mezzo1_nominativo=IALF
mezzo2_mmsi=247000002
mezzo2_classe=B
mezzo2_nome=Bravo è
mezzo2_tipo=37
"""


def main():
    binary = sys.argv[1]
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="vadrel-ais-")
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(b"\r\n".join(VEHICLES) + b"\r\n" + EMPTY * (21 - len(VEHICLES)) + MARKER)
    with open(os.path.join(folder, "vadrel.ini"), "w", encoding="utf-8") as f:
        f.write(INI)
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind(("127.0.0.1", 0))
    udp.settimeout(5)
    log = os.path.join(folder, "registro.nmea")
    vadrel = Vadrel(binary, "--ais", "--mezzi", "3", "--utc", "--tcp", "0", "--registra", log,
                    "--udp", "127.0.0.1:%d" % udp.getsockname()[1], folder=folder)
    reports = []
    try:
        tcp = "tcp://127.0.0.1:%d" % vadrel.tcp_port()
        port_lines = sentences_of(read_port(vadrel.device, 3))
        datagram = udp.recv(65536).decode("ascii")
        deadline = time.monotonic() + 40
        with GpsdWatch(tcp, deadline) as gpsd:
            gpsd.conn.sendall(b'?WATCH={"enable":true,"json":true,"scaled":true};\n')
            # vehicle 1 reports every 2 s
            while time.monotonic() < deadline:
                got = gpsd.next_report(deadline)
                if got is None:
                    break
                if got[1].get("class") == "AIS":
                    reports.append(got[1])
                if sum(1 for r in reports if r["type"] == 1) >= 5:
                    break
    finally:
        code = vadrel.stop()
    checks.expect(code == 0, "vadrel's exit code %d" % code)

    by_type = {}
    for r in reports:
        by_type.setdefault((r["mmsi"], r["type"]), []).append(r)
    print("gpsd's AIS reports:", sorted(by_type))
    checks.expect(all(r["mmsi"] in (900000001, 247000002) for r in reports), "only the targets are reported")
    alfa = by_type.get((900000001, 1), [])
    checks.expect(len(alfa) >= 5, "vehicle 1 reports as class A: %d" % len(alfa))
    for a, b in zip(alfa, alfa[1:]):
        # east along the parallel at 50 km/h: the seconds between the reports tell how far
        seconds = (b["second"] - a["second"]) % 60
        checks.expect(seconds == 2, "27 kn: a report every 2 s, not %d" % seconds)
        km = (b["lon"] - a["lon"]) * 60 * 1.852 * math.cos(math.radians(a["lat"]))
        checks.expect(abs(km - 50 / 3600 * seconds) < 0.002, "vehicle 1 went %.4f km in %d s" % (km, seconds))
    for r in alfa:
        checks.expect(abs(r["lat"] - (44 + 1 / 60)) < 1e-5, "vehicle 1 stays on its parallel: %r" % r["lat"])
        checks.expect(r["speed"] == 27.0 and r["course"] == 90.0 and r["heading"] == 90,
                      "vehicle 1's speed, course and heading: %r" % r)
        checks.expect(r["status"] == 0, "vehicle 1 under way using engine: %r" % r["status"])
    # The recorder's first second: every target's position and static data,
    # read by gpsd (unscaled: positions in 1/10000 minute, speeds in 0.1 kn).
    with open(log, encoding="ascii", newline="") as f:
        recorded = f.read()
    first = recorded.split("# ")[1].split("\n", 1)[1].split("\r\n")
    ais_lines = [l for l in first if l.startswith("!AIVDM")]
    whole = sum(1 for l in ais_lines if l.split(",")[1] == l.split(",")[2])
    checks.expect(first[0].startswith("$GPRMC") and whole == 5, "the first second: %r" % first)
    by_type = {}
    for r in decoded_by_gpsd(ais_lines, whole):
        by_type.setdefault((r["mmsi"], r["type"]), []).append(r)
    print("gpsd's reports of the first second:", sorted(by_type))
    static = by_type.get((900000001, 5), [{}])[0]
    checks.expect(static.get("shipname") == "ALFA" and static.get("callsign") == "IALF" and
                  static.get("shiptype") == 90, "vehicle 1's static data: %r" % static)
    bravo = by_type.get((247000002, 18), [{}])[0]
    checks.expect(bravo.get("lat") == (44 * 60 + 3) * 10000 and bravo.get("lon") == (10 * 60 + 4) * 10000
                  and bravo.get("speed") == 0, "vehicle 2 still where vadrel.cnf puts it: %r" % bravo)
    parts = by_type.get((247000002, 24), [])
    names = [r["shipname"] for r in parts if "shipname" in r]
    checks.expect(names == ["BRAVO E"], "vehicle 2's name in 24 A: %r" % parts)
    types = [r["shiptype"] for r in parts if "shiptype" in r]
    checks.expect(types == [37], "vehicle 2's type in 24 B: %r" % parts)

    # The other outputs: each second's $GPRMC, then whole AIS lines.
    checks.expect(any(l.startswith("!AIVDM") for l in port_lines), "the virtual port has AIS lines")
    lines = datagram.split("\r\n")
    checks.expect(lines[0].startswith("$GPRMC") and all(l.startswith("!AIVDM,") for l in lines[1:-1])
                  and lines[-1] == "", "a UDP second: the $GPRMC, then AIS lines: %r" % datagram)
    checks.expect("!AIVDM,2,1," in recorded and "!AIVDM,2,2," in recorded, "the recorder has both fragments of 5")
    checks.finish()


if __name__ == "__main__":
    main()
