#!/usr/bin/python3
"""The real program's NMEA 2000 server (--n2k) read by canboat's decoder
(canboatjs), against its NMEA 0183 of the same moments from a second TCP
client: at ten fixes a second, each fix's 129025 and 129026 say the
position (to the $GPRMC's last digit), course and speed of the $GPRMC of
the same instant; each second's 129029 its date, time, altitude, satellites
and HDOP, 127250 the course as heading; the AIS targets' 129038 and 129039
the fields of their !AIVDM. With the instruments in the build, the ship
north at 10 kn under a true wind from 270 at 15 kn, 12.5 m of water: the
wind, depth and heading messages against that geometry. Then a client that
leaves at once, a scenario's uscite.n2k and a bad --n2k. Skips (77)
without node or canboatjs."""

import math
import os
import re
import socket
import subprocess
import sys
import threading
import tempfile
import time

from vadrel_run import Checks, Vadrel, ais_bits, ais_signed, ais_unsigned, canboat, each_line, nmea_degrees

KNOT = 1852 / 3600
SECONDS = 4
checks = Checks()
expect = checks.expect


def listening(vadrel, count):
    """The ports vadrel says it listens on, by what: {"tcp": p, "n2k": q}."""
    ports = {}
    while len(ports) < count:
        match = vadrel.said(r"(NMEA 2000: )?TCP in ascolto su 127\.0\.0\.1:(\d+)")
        ports["n2k" if match.group(1) else "tcp"] = int(match.group(2))
    return ports


def read_lines(port, seconds):
    """The lines a TCP client of `port` gets in `seconds`."""
    lines = []
    with socket.create_connection(("127.0.0.1", port)) as sock:
        timer = threading.Timer(seconds, lambda: sock.shutdown(socket.SHUT_RDWR))
        timer.start()
        each_line(sock, lambda line, now: lines.append(line.decode("ascii", "replace")))
        timer.cancel()
    return lines


def both_clients(ports, seconds):
    """The lines of the NMEA 0183 and NMEA 2000 clients, read side by side."""
    got = {}
    threads = [threading.Thread(target=lambda k=k: got.__setitem__(k, read_lines(ports[k], seconds)))
               for k in ("tcp", "n2k")]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return got["tcp"], got["n2k"]


def decoded(lines):
    """canboatjs's messages of the lines, with each line's time stamp; exits 77 without it."""
    results = canboat(lines)
    if results is None:
        print("SKIP: node or @canboat/canboatjs is missing (scripts/install-deps.sh --test)")
        sys.exit(77)
    out = []
    for result in results:
        message = result.get("message")
        expect(message is not None, "canboatjs reads %s: %s" % (result["line"], result))
        if message:
            out.append(message)
    return out


def rmc_by_instant(lines):
    """Each $..RMC by its instant, "2026-12-07T10:00:00.100Z"."""
    found = {}
    for line in lines:
        fields = line.split("*")[0].split(",")
        if not re.match(r"\$..RMC$", fields[0]) or fields[2] != "A":
            continue
        t, d = fields[1], fields[9]
        ms = round(float(t[4:]) * 1000)
        instant = "20%s-%s-%sT%s:%s:%02d.%03dZ" % (d[4:6], d[2:4], d[0:2], t[0:2], t[2:4], ms // 1000, ms % 1000)
        found[instant] = {"lat": nmea_degrees(fields[3], fields[4]), "lon": nmea_degrees(fields[5], fields[6]),
                          "knots": float(fields[7]), "course": float(fields[8])}
    return found


def gga_by_time(lines):
    found = {}
    for line in lines:
        fields = line.split("*")[0].split(",")
        if re.match(r"\$..GGA$", fields[0]) and fields[6] != "0":
            found[fields[1]] = {"satellites": int(fields[7]), "hdop": float(fields[8]), "altitude": float(fields[9])}
    return found


def ais_reports(lines):
    """The position reports (messages 1 and 18) of the !AIVDM lines, as their
    fields, each with the instant of the $GPRMC it follows."""
    found, instant = [], None
    for line in lines:
        fields = line.split(",")
        if re.match(r"\$..RMC$", fields[0]):
            instant = next(iter(rmc_by_instant([line])), None)
        if not line.startswith("!AIVDM") or fields[1] != "1":
            continue
        bits = ais_bits(fields[5])

        def value(start, size, signed=False):
            return (ais_signed if signed else ais_unsigned)(bits, start, size)
        # message 18 has no status nor rate of turn: its fields 4 bits earlier
        kind = value(0, 6)
        shift = 0 if kind == 1 else 4 if kind == 18 else None
        if shift is None:
            continue
        found.append({"instant": instant, "mmsi": value(8, 30), "sog": value(50 - shift, 10),
                      "lon": value(61 - shift, 28, True), "lat": value(89 - shift, 27, True),
                      "cog": value(116 - shift, 12), "heading": value(128 - shift, 9), "second": value(137 - shift, 6)})
    return found


def close(a, b, tolerance):
    return a is not None and b is not None and abs(a - b) <= tolerance


def angle(radians):
    return None if radians is None else math.degrees(radians) % 360


def check_own_ship(messages, rmc, gga):
    fixes = [m for m in messages if m["pgn"] == 129025]
    expect(len(fixes) >= 10 * (SECONDS - 1), "ten 129025 a second: %d in %d s" % (len(fixes), SECONDS))
    matched = 0
    for m in messages:
        f, at = m["fields"], m["timestamp"]
        sentence = rmc.get(at)
        if m["pgn"] in (129025, 129026):
            expect(sentence is not None, "a $GPRMC of the instant of %s at %s" % (m["pgn"], at))
        if sentence is None:
            continue
        matched += 1
        if m["pgn"] == 129025:
            # The $GPRMC cuts the position to 1e-4 minute; 129025 carries 1e-7 degree.
            for key in ("lat", "lon"):
                field = "latitude" if key == "lat" else "longitude"
                expect(close(f.get(field), sentence[key], 1e-4 / 60 + 2e-7),
                       "%s %s %r, the $GPRMC's %r" % (at, field, f.get(field), sentence[key]))
        elif m["pgn"] == 129026:
            expect(close(f.get("sog", 0) / KNOT, sentence["knots"], 0.051), "%s SOG %r vs %r" % (at, f, sentence))
            expect(close(angle(f.get("cog")), sentence["course"], 0.051), "%s COG %r vs %r" % (at, f, sentence))
        elif m["pgn"] == 127250:
            expect(close(angle(f.get("heading")), sentence["course"], 0.051), "%s heading %r vs %r" % (at, f, sentence))
        elif m["pgn"] == 129029:
            time_of_day = at[11:13] + at[14:16] + at[17:19] + ".00"
            expect(f.get("date") == at[0:10].replace("-", "."), "%s date %r" % (at, f.get("date")))
            expect(f.get("time", "").startswith(at[11:19]), "%s time %r" % (at, f.get("time")))
            fix = gga.get(time_of_day)
            expect(fix is not None and close(f.get("altitude"), fix["altitude"], 0.051) and
                   f.get("numberOfSvs") == fix["satellites"] and close(f.get("hdop"), fix["hdop"], 0.051),
                   "%s 129029 %r vs the $GPGGA %r" % (at, f, fix))
            expect(close(f.get("latitude"), sentence["lat"], 1e-4 / 60 + 2e-7), "%s 129029 position %r" % (at, f))
    expect(matched >= len(fixes), "every fix has its $GPRMC: %d of %d" % (matched, len(fixes)))
    for pgn in (129026, 129029, 127250):
        count = sum(1 for m in messages if m["pgn"] == pgn)
        want = len(fixes) if pgn == 129026 else len(fixes) // 10
        expect(abs(count - want) <= 1, "PGN %d: %d messages, %d expected" % (pgn, count, want))


def check_ais(messages, nmea_lines):
    """Within the instants both clients saw, each AIS position PGN is an
    !AIVDM report of its instant, and each report has its PGN."""
    instants = sorted(rmc_by_instant(nmea_lines))
    stamps = sorted(m["timestamp"] for m in messages)
    first, last = max(instants[0], stamps[0]), min(instants[-1], stamps[-1])
    sent = [s for s in ais_reports(nmea_lines) if s["instant"] and first <= s["instant"] <= last]
    reports = [m for m in messages if m["pgn"] in (129038, 129039) and first <= m["timestamp"] <= last]
    expect(len(reports) >= 1 and len(reports) == len(sent),
           "one AIS position PGN for each !AIVDM report: %d and %d" % (len(reports), len(sent)))
    for m in reports:
        f = m["fields"]
        same = [s for s in sent if s["instant"] == m["timestamp"] and s["mmsi"] == f.get("userId")
                and str(s["second"]) == str(f.get("timeStamp"))
                and close(f.get("latitude"), s["lat"] / 600000, 2e-7) and close(f.get("longitude"), s["lon"] / 600000, 2e-7)
                and close(f.get("sog", 0) / KNOT, s["sog"] / 10, 0.011)
                and (s["cog"] == 3600 or close(angle(f.get("cog")), s["cog"] / 10, 0.011))
                and (s["heading"] == 511 or close(angle(f.get("heading")), s["heading"], 0.01))]
        expect(same, "%d %r is an !AIVDM report of %s: %r" % (m["pgn"], f, m["timestamp"], sent))
        expect(m["pgn"] == (129039 if f.get("userId") == 900000002 else 129038), "vehicle 2 is class B: %r" % f)
    # Message 5 goes at a target's first second and every 6 minutes: the
    # client may have come after it.
    for m in (m for m in messages if m["pgn"] == 129794):
        f = m["fields"]
        expect(f.get("userId") == 900000001 and f.get("name") == "MEZZO 1", "vehicle 1's static data: %r" % f)
    for m in (m for m in messages if m["pgn"] in (129809, 129810)):
        f = m["fields"]
        expect(f.get("userId") == 900000002 and f.get("name", "MEZZO 2") == "MEZZO 2", "vehicle 2's static data: %r" % f)


def run_moments(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-n2k-")
    with open(os.path.join(folder, "vadrel.ini"), "w", encoding="utf-8") as f:
        f.write("[ais]\nmezzo2_classe=B\n")
    vadrel = Vadrel(binary, "--ricevitore", "moderno", "--frequenza", "10", "--tcp", "0", "--n2k", "0",
                    "--mezzi", "3", "--ais", "--mezzo", "0=44.0 10.0", "--rotta", "0=0", "--velocita-mezzo", "0=10nodi",
                    "--mezzo", "1=44.01 10.02", "--rotta", "1=90", "--velocita-mezzo", "1=27nodi",
                    "--mezzo", "2=44.02 10.0", "--velocita-mezzo", "2=0", folder=folder)
    try:
        ports = listening(vadrel, 2)
        nmea_lines, n2k_lines = both_clients(ports, SECONDS + 0.5)
        # A client that leaves at once changes nothing for the program.
        socket.create_connection(("127.0.0.1", ports["n2k"])).close()
        time.sleep(1.2)
        expect(vadrel.proc.poll() is None, "vadrel runs on after a client left")
    finally:
        code = vadrel.stop()
    expect(code == 0, "vadrel's exit code %d" % code)
    expect(all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z,\d,\d+,1,255,\d+(,[0-9a-f]{2})+", l)
               for l in n2k_lines), "every line in canboat's plain format: %r" % n2k_lines[:3])
    expect(all(len(l.split(",")) - 6 == int(l.split(",")[5]) for l in n2k_lines), "each length its bytes'")
    messages = decoded(n2k_lines)
    check_own_ship(messages, rmc_by_instant(nmea_lines), gga_by_time(nmea_lines))
    check_ais(messages, nmea_lines)


def run_instruments(binary):
    """North at 10 kn, the true wind from 270 at 15 kn, 12.5 m below the transducer."""
    help_text = subprocess.run([binary, "--help"], capture_output=True, text=True).stdout
    if "--vento" not in help_text:
        print("NOTE: no instruments in this build: their messages are not checked")
        return
    vadrel = Vadrel(binary, "--ricevitore", "moderno", "--n2k", "0", "--mezzo", "0=44.0 10.0", "--rotta", "0=0",
                    "--velocita-mezzo", "0=10nodi", "--strumenti", "--vento", "270@15", "--profondita", "12.5,0.5",
                    "--temperatura-acqua", "14")
    try:
        port = listening(vadrel, 1)["n2k"]
        messages = decoded(read_lines(port, 3.5))
    finally:
        vadrel.stop()
    by_pgn = {}
    for m in messages:
        by_pgn.setdefault(m["pgn"], []).append(m["fields"])
    for f in by_pgn.get(129026, [])[-1:]:
        expect(close(f.get("sog"), 10 * KNOT, 0.006) and close(angle(f.get("cog")), 0, 0.01), "north at 10 kn: %r" % f)
    for f in by_pgn.get(127250, [])[-1:]:
        expect(close(angle(f.get("heading")), 0, 0.01) or close(angle(f.get("heading")), 360, 0.01), "heading %r" % f)
    winds = {f.get("reference"): f for f in by_pgn.get(130306, [])}
    apparent, true = winds.get("Apparent", {}), winds.get("True (boat referenced)", {})
    expect(close(apparent.get("windSpeed"), math.hypot(15, 10) * KNOT, 0.006) and
           close(angle(apparent.get("windAngle")), 303.69, 0.01), "the apparent wind 18.03 kn at 303.7: %r" % apparent)
    expect(close(true.get("windSpeed"), 15 * KNOT, 0.006) and close(angle(true.get("windAngle")), 270, 0.01),
           "the true wind at 270 to the bow: %r" % true)
    depths = by_pgn.get(128267, [{}])
    expect(close(depths[-1].get("depth"), 12.5, 0.001) and close(depths[-1].get("offset"), 0.5, 0.0005),
           "12.5 m below the transducer, 0.5 m to the water line: %r" % depths[-1])


def scenario_and_refusal(binary):
    folder = tempfile.mkdtemp(prefix="vadrel-n2k-")
    with open(os.path.join(folder, "prova.yaml"), "w", encoding="utf-8") as f:
        f.write("inizio: 2016-12-31T23:59:58Z\nuscite: {n2k: 0}\ndurata: 4\n")
    vadrel = Vadrel(binary, "--scenario", os.path.join(folder, "prova.yaml"), folder=folder)
    try:
        port = listening(vadrel, 1)["n2k"]
        lines = read_lines(port, 3.5)
    finally:
        vadrel.stop()
    expect(any(",129029," in line for line in lines), "a scenario's uscite.n2k starts the server: %r" % lines)
    # The time stamps are the simulated clock's: the scenario's start, across the new year.
    stamps = [line[:24] for line in lines]
    expect(stamps and all(s[:4] in ("2016", "2017") for s in stamps), "the scenario's time: %r" % stamps)
    dates = [m["fields"].get("date") for m in decoded(lines) if m["pgn"] == 129029]
    expect(dates and all(d in ("2016.12.31", "2017.01.01") for d in dates), "129029 dates: %r" % dates)
    done = subprocess.run([binary, "--senza-finestra", "--n2k", "::1:10110"], capture_output=True, text=True, timeout=20)
    expect(done.returncode != 0 and "--n2k" in done.stderr, "--n2k ::1:10110 is refused: %r" % done.stderr)


def main():
    binary = sys.argv[1]
    if canboat(["2017-03-13T01:00:00.146Z,2,130306,1,255,8,ff,e8,03,10,27,fa,ff,ff"]) is None:
        print("SKIP: node or @canboat/canboatjs is missing (scripts/install-deps.sh --test)")
        sys.exit(77)
    run_moments(binary)
    run_instruments(binary)
    scenario_and_refusal(binary)
    checks.finish()


if __name__ == "__main__":
    main()
