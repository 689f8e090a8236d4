#!/usr/bin/python3
"""The own ship's instruments of the real program: vehicle 0 north at 10 kn
with a wind from 270 at 15 kn, 12.5 m under a transducer 0.5 m below the
water line, water at 14 C. A TCP client reads each second's sentences, whose
instruments' part Signal K's parser reads as the geometry says; a PATCH of
the control interface, or a scenario given to the running program, changes
them from the next second; a refused PATCH names its field; [strumenti]
keeps the values for the next start."""

import math
import os
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, checksum_ok, folder_with_vehicle, signalk, signalk_values  # noqa: E402

KNOT = 1852 / 3600  # m/s
INSTRUMENT_KINDS = ["HCHDG", "HEHDT", "TIROT", "VWVHW", "WIMWV", "WIMWV", "WIMWD", "SDDBT", "SDDPT", "SDMTW",
                    "VWVLW"]


class Seconds:
    """The TCP server's lines, cut into seconds: each second begins at its $GPRMC."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.pending = b""

    def next_whole(self, after=0.0):
        """The lines of the next whole second that began after `after` (time.time())."""
        lines, started = [], None
        deadline = time.monotonic() + 8
        while time.monotonic() < deadline:
            chunk = self.sock.recv(65536)
            if not chunk:
                break
            self.pending += chunk
            *got, self.pending = self.pending.split(b"\r\n")
            for raw in got:
                line = raw.decode("ascii")
                if line.startswith("$GPRMC"):
                    if started is not None:
                        return lines
                    if time.time() >= after:
                        started = True
                if started:
                    lines.append(line)
        raise AssertionError("no whole second on TCP: %r" % self.pending[-300:])

    def close(self):
        self.sock.close()


def near(value, expected, tolerance):
    return value is not None and abs(value - expected) <= tolerance


def values_of(lines):
    """Signal K's values of the instruments' sentences, by path; MWV's by its reference too."""
    found = {}
    for result in signalk(lines):
        checks_error = result.get("error")
        if checks_error:
            found.setdefault("errors", []).append(checks_error)
        found.update(signalk_values(result))
    return found


def check_geometry(checks, lines, wind_knots, depth):
    """The worked second: the apparent wind from 303.7 on the port bow, 18.0 kn."""
    kinds = [line[1:6] for line in lines[1:] if line[1:6] in INSTRUMENT_KINDS]
    checks.expect(kinds == INSTRUMENT_KINDS, "the instruments' sentences after the $GPRMC, in order: %r" % lines)
    checks.expect(all(checksum_ok(line) for line in lines), "every checksum right: %r" % lines)
    v = values_of([line for line in lines if line[1:6] in INSTRUMENT_KINDS])
    checks.expect("errors" not in v, "Signal K parses them all: %r" % v.get("errors"))
    apparent = math.degrees(math.atan2(wind_knots, 10.0))  # off the port bow
    speed = math.hypot(wind_knots, 10.0)
    rows = [  # path, expected, tolerance
        ("environment.wind.angleApparent", math.radians(-apparent), 0.002),
        ("environment.wind.speedApparent", speed * KNOT, 0.06),
        ("environment.wind.angleTrueWater", math.radians(-90), 0.002),
        ("environment.wind.speedTrue", wind_knots * KNOT, 0.06),
        ("environment.wind.directionTrue", math.radians(270), 0.002),
        ("environment.depth.belowTransducer", depth, 0.05),
        ("environment.depth.surfaceToTransducer", 0.5, 0.05),
        ("environment.depth.belowSurface", depth + 0.5, 0.05),
        ("environment.water.temperature", 14 + 273.15, 0.05),
        ("navigation.headingTrue", 0.0, 0.002),
        ("navigation.speedThroughWater", 10 * KNOT, 0.06),
        ("navigation.rateOfTurn", 0.0, 0.0001),
    ]
    for path, expected, tolerance in rows:
        checks.expect(near(v.get(path), expected, tolerance), "%s %r, not %r" % (path, v.get(path), expected))
    checks.expect(v.get("navigation.log", -1) >= 0, "the log: %r" % v.get("navigation.log"))


def main():
    binary = sys.argv[1]
    checks = Checks()
    folder = folder_with_vehicle('44,0,"N",,10,0,"E",10,0,#TRUE#,#FALSE#')
    vadrel = Vadrel(binary, "--strumenti", "--vento", "270@15", "--profondita", "12.5,0.5",
                    "--temperatura-acqua", "14", "--velocita-mezzo", "0=10nodi", "--rotta", "0=0", "--moto-reale",
                    "--tcp", "127.0.0.1:0", "--controllo", "127.0.0.1:0", folder=folder)
    try:
        tcp = vadrel.tcp_port()
        client = Client(vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1))
        seconds = Seconds(tcp)
        check_geometry(checks, seconds.next_whole(), 15, 12.5)
        got = client.instruments()
        checks.expect(got.get("attivi") is True and got.get("vento_nodi") == 15 and got.get("variazione") is None,
                      "GET says what the command line set: %r" % got)

        # Live: the second after the PATCH tells the new wind and depth.
        changed = client.set_instruments(vento_nodi=20, profondita=30)
        checks.expect(changed.get("vento_nodi") == 20 and changed.get("profondita") == 30, "PATCH answers: %r" % changed)
        check_geometry(checks, seconds.next_whole(after=time.time()), 20, 30)
        # field, value, a piece of the reason
        for field, value, reason in [("vento_nodi", 999, "vento"), ("profondita", -1, "profondit"),
                                     ("vento_direzione", "nord", "numero"), ("velocita", 1, "sconosciuto")]:
            try:
                client.set_instruments(**{field: value})
                checks.expect(False, "PATCH %s=%r refused" % (field, value))
            except VadrelError as e:
                checks.expect(e.status == 400 and e.field == field and reason in e.reason,
                              "PATCH %s=%r: %d %s %s" % (field, value, e.status, e.field, e.reason))
        # A scenario given to the running program changes them too.
        client.play_scenario(b"vento: 0@12\nprofondita: 40\n")
        lines = seconds.next_whole(after=time.time())
        told = [line.split("*")[0] for line in lines if line[1:6] in ("WIMWD", "SDDPT")]
        checks.expect(told == ["$WIMWD,0.0,T,,M,12.0,N,6.2,M", "$SDDPT,40.0,0.5"], "the scenario's wind and depth: %r" % told)
        client.set_instruments(vento_direzione=270, vento_nodi=20, profondita=30)
        seconds.close()
    finally:
        code = vadrel.stop()
    checks.expect(code == 0, "vadrel's exit code %d" % code)
    with open(os.path.join(folder, "vadrel.ini"), encoding="utf-8") as f:
        ini = f.read()
    checks.expect("[strumenti]" in ini and "vento_nodi=20" in ini and "profondita=30" in ini,
                  "vadrel.ini keeps the change: %r" % ini)
    checks.expect("attivi=false" in ini, "--strumenti was for that run only: %r" % ini)

    # The next start takes the wind and depth from vadrel.ini.
    again = Vadrel(binary, "--strumenti", "--temperatura-acqua", "14", "--velocita-mezzo", "0=10nodi",
                   "--rotta", "0=0", "--tcp", "127.0.0.1:0", folder=folder)
    try:
        seconds = Seconds(again.tcp_port())
        check_geometry(checks, seconds.next_whole(), 20, 30)
        seconds.close()
    finally:
        again.stop()
    checks.finish()


if __name__ == "__main__":
    main()
