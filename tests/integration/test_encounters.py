#!/usr/bin/python3
"""Set-piece AIS situations in the real program, read by a TCP client: the
own ship (vehicle 0) north at 10 kn, vehicle 1 placed by "--incontro
1=0.5,6" and vehicle 2 by "--incontro 2=1.2,9,sinistra" on courses of their
own; a buoy and a SART in test. The CPA and TCPA worked out here from the
decoded message 1 (position, COG, SOG) and the own ship's $GPRMC are those
asked, counted from the program's first second (the recorder's); the buoy's
message 21 and the SART's message 1 and 14 decode as asked. Then the
refusals a user meets on the command line."""

import math
import os
import socket
import subprocess
import sys
import time

from vadrel_run import (Checks, Vadrel, ais_bits, ais_signed, ais_text, ais_unsigned, folder_with_vehicle,
                        nmea_degrees)

MILES_PER_DEGREE = 60.0


def decoded(line):
    """A one-sentence !AIVDM message's fields, decoded here from its bits."""
    fields = line.split("*")[0].split(",")
    if fields[1] != "1":
        return None
    b = ais_bits(fields[5])
    m = {"type": ais_unsigned(b, 0, 6), "mmsi": ais_unsigned(b, 8, 30)}
    if m["type"] == 1:
        m.update(status=ais_unsigned(b, 38, 4), sog=ais_unsigned(b, 50, 10) / 10,
                 lon=ais_signed(b, 61, 28) / 600000, lat=ais_signed(b, 89, 27) / 600000,
                 cog=ais_unsigned(b, 116, 12) / 10, second=ais_unsigned(b, 137, 6))
    elif m["type"] == 21:
        m.update(aid_type=ais_unsigned(b, 38, 5), name=ais_text(b, 43, 20) + ais_text(b, 272, 14),
                 lon=ais_signed(b, 164, 28) / 600000, lat=ais_signed(b, 192, 27) / 600000,
                 virtual=ais_unsigned(b, 269, 1))
    elif m["type"] == 14:
        m.update(text=ais_text(b, 40, 161))
    return m


def rmc_of(line):
    """Time of day (seconds), latitude, longitude, SOG, COG of a $GPRMC."""
    f = line.split("*")[0].split(",")
    t = f[1]
    lat, lon = nmea_degrees(f[3], f[4]), nmea_degrees(f[5], f[6])
    return int(t[:2]) * 3600 + int(t[2:4]) * 60 + float(t[4:]), lat, lon, float(f[7]), float(f[8])


def cpa_tcpa(own, target):
    """CPA (miles) and TCPA (minutes) in a flat frame at the own ship."""
    _, lat, lon, sog, cog = own
    north = (target["lat"] - lat) * MILES_PER_DEGREE
    east = (target["lon"] - lon) * MILES_PER_DEGREE * math.cos(math.radians(lat))
    vn = target["sog"] * math.cos(math.radians(target["cog"])) - sog * math.cos(math.radians(cog))
    ve = target["sog"] * math.sin(math.radians(target["cog"])) - sog * math.sin(math.radians(cog))
    hours = -(north * vn + east * ve) / (vn * vn + ve * ve)
    cpa_n, cpa_e = north + vn * hours, east + ve * hours
    side = math.degrees(math.atan2(cpa_e, cpa_n)) - cog
    return math.hypot(cpa_n, cpa_e), hours * 60, side % 360


def run_encounters(binary, checks):
    folder = folder_with_vehicle('44,0,"N",,10,0,"E",10,0,#TRUE#,#FALSE#')
    log = os.path.join(folder, "registro.nmea")
    vadrel = Vadrel(binary, "--tcp", "0", "--utc", "--registra", log, "--velocita-mezzo", "0=10nodi",
                    "--rotta", "0=0", "--rotta", "1=270", "--velocita-mezzo", "1=12nodi",
                    "--incontro", "1=0.5,6", "--incontro", "2=1.2,9,sinistra",
                    "--ais-boa", "Secca della Meloria Ovest=43 33,0 N 10 13,2 E", "--ais-sart", "44 1 N 10 0 E",
                    "--ais-statici-subito", folder=folder)
    lines, greeting = [], b""
    try:
        port = vadrel.tcp_port()
        with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
            client.settimeout(3)
            pending = b""
            deadline = time.monotonic() + 25
            while time.monotonic() < deadline:
                pending += client.recv(65536)
                *whole, pending = pending.split(b"\r\n")
                lines += [line.decode("ascii") for line in whole]
        # A client that comes later hears the buoy at once, before its first second.
        with socket.create_connection(("127.0.0.1", port), timeout=5) as late:
            late.settimeout(3)
            while b"$GPRMC" not in greeting:
                greeting += late.recv(65536)
    finally:
        code, said, _ = vadrel.finish()
    checks.expect(code == 0, "vadrel's exit code %d: %s" % (code, said))
    checks.expect("bersagli AIS attivi per questa esecuzione" in said and "portato a 3" in said,
                  "--incontro makes the targets and says so: %r" % said)
    with open(log, encoding="ascii", newline="") as f:
        first_rmc = next(l for l in f.read().splitlines() if l.startswith("$GPRMC"))
    start = rmc_of(first_rmc)[0]
    rmc_at, messages = {}, []
    for line in lines:
        if line.startswith("$GPRMC"):
            rmc = rmc_of(line)
            rmc_at[int(rmc[0]) % 60] = rmc
        elif line.startswith("!AIVDM"):
            m = decoded(line)
            if m:
                messages.append(m)
    asked = {900000001: (0.5, 6.0, "dritta"), 900000002: (1.2, 9.0, "sinistra")}
    compared = {mmsi: 0 for mmsi in asked}
    worst = [0.0, 0.0]
    for m in messages:
        if m["type"] != 1 or m["mmsi"] not in asked:
            continue
        own = rmc_at.get(m["second"])
        if own is None or own[0] % 60 != m["second"]:
            continue
        cpa, tcpa, bearing = cpa_tcpa(own, m)
        want_cpa, want_tcpa, side = asked[m["mmsi"]]
        elapsed = (own[0] - start) / 60
        compared[m["mmsi"]] += 1
        worst = [max(worst[0], abs(cpa - want_cpa)), max(worst[1], abs(tcpa + elapsed - want_tcpa))]
        checks.expect(abs(cpa - want_cpa) <= 0.01, "%d: CPA %.4f nm, asked %.1f" % (m["mmsi"], cpa, want_cpa))
        checks.expect(abs(tcpa + elapsed - want_tcpa) <= 0.1,
                      "%d: TCPA %.3f min %.3f min after the start, asked %.1f" % (m["mmsi"], tcpa, elapsed,
                                                                                  want_tcpa))
        checks.expect((0 < bearing < 180) == (side == "dritta"),
                      "%d: at the closest point it bears %.1f from the heading" % (m["mmsi"], bearing))
        checks.expect(m["status"] == 0, "%d: under way using engine, even when still: %r" % (m["mmsi"], m))
    checks.expect(all(n >= 2 for n in compared.values()), "reports compared: %r" % compared)
    print("reports compared %r; the largest CPA error %.4f nm, TCPA error %.4f min" % (compared, *worst))
    aids = [m for m in messages if m["type"] == 21]
    checks.expect(len(aids) >= 1 and aids[0]["name"] == "SECCA DELLA MELORIA OVEST" and aids[0]["aid_type"] == 1
                  and aids[0]["virtual"] == 0 and abs(aids[0]["lat"] - (43 + 33 / 60)) < 1e-6
                  and abs(aids[0]["lon"] - (10 + 13.2 / 60)) < 1e-6, "the buoy's message 21: %r" % aids[:1])
    first = greeting.split(b"$GPRMC")[0].decode("ascii").split("\r\n")
    heard = [decoded(line) for line in first if line.startswith("!AIVDM,1,")]
    checks.expect(any(m["type"] == 21 and m["mmsi"] == 990000001 for m in heard),
                  "a late client hears the buoy before its first second: %r" % first)
    sart = [m for m in messages if m["mmsi"] == 970010001]
    checks.expect(any(m["type"] == 14 and m["text"] == "SART TEST" for m in sart), "the SART's message 14")
    reports = [m for m in sart if m["type"] == 1]
    checks.expect(len(reports) >= 8 and all(m["status"] == 14 and m["sog"] == 0 for m in reports),
                  "the SART's burst of message 1, status 14: %r" % reports[:2])


def run_refusals(binary, checks):
    # the arguments, what standard error says
    rows = [
        (["--incontro", "1=-0.5,6"], "il CPA"),
        (["--incontro", "1=0.5,0"], "il TCPA"),
        (["--incontro", "1=0,5,6"], "punto decimale"),
        (["--incontro", "21=0.5,6"], "--incontro vuole"),
        (["--incontro", "1=0.5,6,babordo"], "--incontro vuole"),
        (["--ais-boa", "Boa senza posizione"], "NOME=POSIZIONE"),
        (["--ais-boa", "X" * 35 + "=44 N 9 E"], "al più 34"),
        (["--ais-sart", "44 N"], "servono latitudine e longitudine"),
    ]
    for args, message in rows:
        done = subprocess.run([binary, "--senza-finestra", *args], capture_output=True, text=True, timeout=30)
        checks.expect(done.returncode != 0 and message in done.stderr, "%s: %d %r" % (args, done.returncode,
                                                                                      done.stderr))
    # The own ship itself, and no relative motion (both still): said, and the program goes on.
    folder = folder_with_vehicle('44,0,"N",,10,0,"E",0,0,#TRUE#,#FALSE#')
    vadrel = Vadrel(binary, "--incontro", "0=0.5,6", "--incontro", "1=1,6", folder=folder)
    vadrel.said(r"--incontro 0: il mezzo 0 è la nave propria")
    vadrel.said(r"--incontro 1: .*la distanza non cambia")
    vadrel.said(r"vadrel: porta ")  # started: a signal now ends it in order
    code = vadrel.stop()
    checks.expect(code == 0, "a refused encounter leaves the program running: exit code %d" % code)


def main():
    checks = Checks()
    run_encounters(sys.argv[1], checks)
    run_refusals(sys.argv[1], checks)
    checks.finish()


if __name__ == "__main__":
    main()
