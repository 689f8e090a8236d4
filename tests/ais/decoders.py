#!/usr/bin/python3
"""vadrel's AIS sentences read by independent decoders: gpsd (its AIS
driver, fed through a TCP source) and Signal K's NMEA parser. Every
message of every second must decode, and say what vadrel's own state of
the vehicle is at that second: the MMSI, the position to 1e-5 degrees, the
speed over ground to 0.05 kn, the course over ground to 0.05 degrees, the
heading, the navigational status, and the static data as set (name, type,
call sign, dimensions); and the stations that stand still: a buoy's
message 21 (type, name with its extension, position, not virtual), a SART's
message 1 (status 14) and 14 ("SART TEST").

Usage: decoders.py AIS_SAMPLES NODE"""

import json
import math
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from vadrel_run import Checks, GpsdWatch, ais_bits, ais_unsigned, signalk, signalk_values  # noqa: E402

KNOT_MS = 1852 / 3600
checks = Checks()
expect = checks.expect


def messages_of(sentences):
    """The messages of a second: (talker, type, mmsi, part, sentences)."""
    out, group = [], []
    for s in sentences:
        fields = s.split("*")[0].split(",")
        group.append(s)
        if fields[1] != fields[2]:
            continue
        payload = "".join(g.split(",")[5] for g in group)
        bits = ais_bits(payload)
        out.append({"talker": fields[0][3:6], "type": ais_unsigned(bits, 0, 6), "mmsi": ais_unsigned(bits, 8, 30),
                    "part": ais_unsigned(bits, 38, 2), "sentences": group})
        group = []
    return out


def gpsd_reports(sentences, wanted):
    """gpsd's AIS reports, unscaled (the fields' own integers), of the sentences
    sent to it through a TCP source."""
    deadline = time.monotonic() + 20
    with socket.socket() as source:
        source.bind(("127.0.0.1", 0))
        source.listen(1)
        source.settimeout(20)
        with GpsdWatch("tcp://127.0.0.1:%d" % source.getsockname()[1], deadline) as gpsd:
            feed, _ = source.accept()
            with feed:
                time.sleep(0.3)  # the watch is in place before the sentences come
                feed.sendall(("\r\n".join(sentences) + "\r\n").encode())
                return gpsd.reports(lambda r: r.get("class") == "AIS", wanted, deadline)


def close(a, b, tolerance):
    return abs(a - b) <= tolerance + 1e-6


def angle_close(a, b, tolerance):
    return abs((a - b + 180) % 360 - 180) <= tolerance + 1e-6


def check_gpsd(report, message, vehicle, where):
    t = report["type"]
    if t in (1, 18):
        lat, lon = report["lat"] / 600000, report["lon"] / 600000
        expect(close(lat, vehicle["lat"], 1e-5) and close(lon, vehicle["lon"], 1e-5),
               "%s: gpsd position %.7f %.7f, vadrel %.7f %.7f" % (where, lat, lon, vehicle["lat"], vehicle["lon"]))
        expect(close(report["speed"] / 10, min(vehicle["knots"], 102.2), 0.05),
               "%s: gpsd speed %s, vadrel %.3f kn" % (where, report["speed"], vehicle["knots"]))
        expect(angle_close(report["course"] / 10, vehicle["course"], 0.05),
               "%s: gpsd course %s, vadrel %.3f" % (where, report["course"], vehicle["course"]))
        expect(report["heading"] == round(vehicle["course"]) % 360,
               "%s: gpsd heading %s, vadrel course %.3f" % (where, report["heading"], vehicle["course"]))
        if t == 1:
            expect(report["status"] == (0 if vehicle["moving"] else 5), "%s: gpsd status %s" % (where, report["status"]))
        else:
            expect(report["cs"] and report["msg22"] and report["band"] and not report["display"],
                   "%s: gpsd class B flags %s" % (where, report))
    if t == 5 or t == 24:
        if t == 5 or report.get("shipname") is not None:
            expect(report.get("shipname") == vehicle["name"], "%s: gpsd name %r, vadrel %r"
                   % (where, report.get("shipname"), vehicle["name"]))
        if t == 5 or message["part"] == 1:
            got = (report.get("shiptype"), report.get("callsign"), report.get("to_bow"), report.get("to_stern"),
                   report.get("to_port"), report.get("to_starboard"))
            wanted = (vehicle["type"], vehicle["call_sign"], vehicle["bow"], vehicle["stern"], vehicle["port"],
                      vehicle["starboard"])
            expect(got == wanted, "%s: gpsd static %s, vadrel %s" % (where, got, wanted))
        if t == 5:
            expect(report["ais_version"] == 2 and report["epfd"] == 1 and report["dte"] == 1,
                   "%s: gpsd message 5 %s" % (where, report))


def check_station_gpsd(report, station, where):
    """A buoy's message 21 or the SART's message 1 and 14, as gpsd reads them."""
    t = report["type"]
    if t in (1, 21):
        lat, lon = report["lat"] / 600000, report["lon"] / 600000
        expect(close(lat, station["lat"], 1e-5) and close(lon, station["lon"], 1e-5),
               "%s: gpsd position %.7f %.7f, vadrel %.7f %.7f" % (where, lat, lon, station["lat"], station["lon"]))
    if t == 21:
        expect((report.get("aid_type"), report.get("name"), report.get("virtual_aid"), report.get("off_position"))
               == (1, station["name"], False, False), "%s: gpsd message 21 %s" % (where, report))
    if t == 1:
        expect(report["status"] == 14 and report["speed"] == 0 and report["course"] == 3600
               and report["heading"] == 511, "%s: gpsd SART report %s" % (where, report))
    if t == 14:
        expect(report.get("text") == "SART TEST", "%s: gpsd message 14 %s" % (where, report))


def check_station_signalk(result, message, station, where):
    expect("error" not in result, "%s: Signal K refuses %s: %s" % (where, result["sentence"], result.get("error")))
    delta = result.get("delta")
    if message["type"] == 14:
        return  # a text to all: Signal K's parser keeps no value of it
    expect(bool(delta) and delta["context"].endswith("urn:mrn:imo:mmsi:%09d" % station["mmsi"]),
           "%s: Signal K context %s" % (where, delta and delta.get("context")))
    if not delta:
        return
    values = signalk_values(result)
    position = values.get("navigation.position", {})
    expect(close(position.get("latitude", 99), station["lat"], 1e-5)
           and close(position.get("longitude", 999), station["lon"], 1e-5),
           "%s: Signal K position %s, vadrel %.7f %.7f" % (where, position, station["lat"], station["lon"]))
    if message["type"] == 21:
        # Signal K's parser reads the name field alone, not its extension (gpsd reads both).
        expect(delta["context"].startswith("atons.") and values.get("name") == station["name"][:20].rstrip(),
               "%s: Signal K aid %s %s" % (where, delta["context"], values.get("name")))


def check_signalk(result, message, vehicle, where):
    expect("error" not in result, "%s: Signal K refuses %s: %s" % (where, result["sentence"], result.get("error")))
    delta = result.get("delta")
    expect(delta is not None, "%s: Signal K decodes nothing of %s" % (where, result["sentence"]))
    if not delta:
        return
    expect(delta["context"] == "vessels.urn:mrn:imo:mmsi:%09d" % vehicle["mmsi"],
           "%s: Signal K context %s" % (where, delta["context"]))
    values = signalk_values(result)
    t = message["type"]
    if t in (1, 18):
        position = values.get("navigation.position", {})
        expect(close(position.get("latitude", 99), vehicle["lat"], 1e-5)
               and close(position.get("longitude", 999), vehicle["lon"], 1e-5),
               "%s: Signal K position %s, vadrel %.7f %.7f" % (where, position, vehicle["lat"], vehicle["lon"]))
        expect(close(values["navigation.speedOverGround"] / KNOT_MS, min(vehicle["knots"], 102.2), 0.05),
               "%s: Signal K speed %s m/s, vadrel %.3f kn" % (where, values["navigation.speedOverGround"],
                                                             vehicle["knots"]))
        expect(angle_close(math.degrees(values["navigation.courseOverGroundTrue"]), vehicle["course"], 0.05),
               "%s: Signal K course %s" % (where, values["navigation.courseOverGroundTrue"]))
        expect(close(math.degrees(values["navigation.headingTrue"]), round(vehicle["course"]) % 360, 1e-6),
               "%s: Signal K heading %s" % (where, values["navigation.headingTrue"]))
        if t == 1:
            expect(values.get("navigation.state") == ("motoring" if vehicle["moving"] else "moored"),
                   "%s: Signal K state %s" % (where, values.get("navigation.state")))
    if t == 5 or (t == 24 and message["part"] == 0):
        expect(values.get("name") == vehicle["name"], "%s: Signal K name %r, vadrel %r"
               % (where, values.get("name"), vehicle["name"]))
    if t == 5 or (t == 24 and message["part"] == 1):
        length = vehicle["bow"] + vehicle["stern"]
        beam = vehicle["port"] + vehicle["starboard"]
        expect(values.get("design.length", {}).get("overall", 0) == length,
               "%s: Signal K length %s, vadrel %d" % (where, values.get("design.length"), length))
        expect(values.get("design.beam", 0) == beam, "%s: Signal K beam %s" % (where, values.get("design.beam")))
        if vehicle["type"]:
            expect(values.get("design.aisShipType", {}).get("id") == vehicle["type"],
                   "%s: Signal K type %s" % (where, values.get("design.aisShipType")))
        expect(values.get("communication", {}).get("callsignVhf", "") == vehicle["call_sign"],
               "%s: Signal K call sign %s" % (where, values.get("communication")))
        expect(values.get("sensors.ais.class") in (None, vehicle["class"]),
               "%s: Signal K class %s" % (where, values.get("sensors.ais.class")))


def main():
    samples, node = sys.argv[1:3]
    seconds = [json.loads(line) for line in subprocess.run([samples], capture_output=True, text=True,
                                                           check=True).stdout.splitlines()]
    every_sentence, messages = [], []
    for second in seconds:
        every_sentence += second["sentences"]
        by_mmsi = {v["mmsi"]: v for v in second["vehicles"]}
        stations = {s["mmsi"]: s for s in second["stations"]}
        for m in messages_of(second["sentences"]):
            m["where"] = "second %d, message %d of %09d" % (second["second"], m["type"], m["mmsi"])
            m["station"] = stations.get(m["mmsi"])
            messages.append(m)
            if m["station"]:
                expect(m["talker"] == "VDM", "%s: talker %s" % (m["where"], m["talker"]))
                continue
            expect(m["mmsi"] in by_mmsi, "second %d: a message of MMSI %d" % (second["second"], m["mmsi"]))
            m["vehicle"] = by_mmsi.get(m["mmsi"])
            expect(m["talker"] == ("VDO" if m["vehicle"]["own"] else "VDM"), "%s: talker %s" % (m["where"], m["talker"]))
    kinds = sorted({(m["type"], m["part"] if m["type"] == 24 else 0) for m in messages})
    expect(kinds == [(1, 0), (5, 0), (14, 0), (18, 0), (21, 0), (24, 0), (24, 1)], "message kinds %s" % kinds)

    # gpsd: one report for each message but 24 A, whose name it keeps for the B that follows.
    reported = [m for m in messages if not (m["type"] == 24 and m["part"] == 0)]
    reports = gpsd_reports(every_sentence, len(reported))
    expect(len(reports) == len(reported), "gpsd reported %d of %d messages" % (len(reports), len(reported)))
    for report, message in zip(reports, reported):
        expect((report["type"], report["mmsi"]) == (message["type"], message["mmsi"]),
               "gpsd reported message %s of %s for %s" % (report["type"], report["mmsi"], message["where"]))
        if message["station"]:
            check_station_gpsd(report, message["station"], message["where"])
        else:
            check_gpsd(report, message, message["vehicle"], message["where"])

    # Signal K: one delta for each message's last sentence.
    results = signalk(every_sentence, node)
    expect(len(results) == len(every_sentence), "Signal K read %d of %d sentences" % (len(results), len(every_sentence)))
    at = 0
    for message in messages:
        for result in results[at:at + len(message["sentences"]) - 1]:
            expect("error" not in result, "%s: Signal K refuses a first fragment: %s" % (message["where"], result))
        at += len(message["sentences"])
        if message["station"]:
            check_station_signalk(results[at - 1], message, message["station"], message["where"])
        else:
            check_signalk(results[at - 1], message, message["vehicle"], message["where"])

    print("%d seconds, %d messages in %d sentences; gpsd %d reports, Signal K %d deltas"
          % (len(seconds), len(messages), len(every_sentence), len(reports), len(messages)))
    checks.finish()


if __name__ == "__main__":
    main()
