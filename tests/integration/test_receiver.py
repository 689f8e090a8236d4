#!/usr/bin/python3
"""Real clients on vadrel's virtual port with the receiver options on.

gpsd, with UTC, the real motion and the full set: a 3D fix whose speed,
track, time and altitude are the panel's; SIGUSR1 (the loss of the signal)
drops it to no fix within 2 s, and the next SIGUSR1 brings it back within 2 s.
pynmea2 and Signal K's parser accept every sentence of the full set in
GPS-standard and radio mode, and of a receiver without a fix; the loss of
the fix comes from vadrel.ini there, with the command line over the file's
other options and the file left as it was."""

import concurrent.futures
import datetime
import json
import math
import os
import signal
import sys
import time

import pynmea2

from vadrel_run import Checks, GpsdWatch, Vadrel, folder_with_vehicle, read_port, sentences_of, signalk, \
    signalk_values

# 100 km/h on course 45 from 44 N 10 E.
VEHICLE = '44,0,"N",,10,0,"E",100,45,#TRUE#,#FALSE#'
SPEED_MS = 100 / 3.6
COURSE = 45
ALTITUDE = 254.5
FULL = ("--utc", "--moto-reale", "--frasi", "complete", "--quota", str(ALTITUDE))

checks = Checks()
expect = checks.expect


def next_tpv(gpsd, deadline, wanted):
    """The first TPV report that `wanted` accepts, with its arrival time."""
    while True:
        report = gpsd.next_report(deadline)
        if report is None:
            return None
        arrival, tpv = report
        if tpv.get("class") == "TPV" and wanted(tpv):
            return arrival, tpv


def check_gpsd(binary):
    vadrel = Vadrel(binary, *FULL, folder=folder_with_vehicle(VEHICLE))
    try:
        with GpsdWatch(vadrel.device, time.monotonic() + 20) as gpsd:
            for _ in range(3):
                found = next_tpv(gpsd, time.monotonic() + 20, lambda tpv: tpv.get("mode") == 3)
                expect(found is not None, "gpsd gave no 3D fix")
                if found is None:
                    return
                tpv = found[1]
                print("gpsd TPV:", json.dumps(tpv))
                now = datetime.datetime.now(datetime.timezone.utc)
                at = datetime.datetime.fromisoformat(tpv["time"].replace("Z", "+00:00"))
                expect(abs((now - at).total_seconds()) < 1, "time %s, UTC now %s" % (tpv["time"], now))
                expect(abs(tpv["speed"] / SPEED_MS - 1) < 0.005, "speed %s m/s, not %.3f" % (tpv["speed"], SPEED_MS))
                expect(abs(tpv["track"] - COURSE) < 0.2, "track %s, not %d" % (tpv["track"], COURSE))
                expect(abs(tpv.get("altMSL", tpv.get("alt", 0)) - ALTITUDE) < 0.05, "altitude of %s" % json.dumps(tpv))
            for mode, wanted in (("no fix", lambda tpv: tpv.get("mode", 0) <= 1),
                                 ("3D fix again", lambda tpv: tpv.get("mode") == 3)):
                os.kill(vadrel.proc.pid, signal.SIGUSR1)
                switched = time.monotonic()
                found = next_tpv(gpsd, switched + 2, wanted)
                expect(found is not None, "gpsd not at %s within 2 s of SIGUSR1" % mode)
                if found:
                    print("gpsd at %s after %.2f s" % (mode, found[0] - switched))
    finally:
        expect(vadrel.stop() == 0, "vadrel's exit code with gpsd")


def check_clients(binary, name, extra, settings):
    folder = folder_with_vehicle(VEHICLE)
    ini = os.path.join(folder, "vadrel.ini")
    if settings:
        with open(ini, "w") as f:
            f.write(settings)
    vadrel = Vadrel(binary, *FULL, *extra, folder=folder)
    try:
        sentences = sentences_of(read_port(vadrel.device, 4.5))
    finally:
        code = vadrel.stop()
    expect(code == 0, "%s: vadrel's exit code %d" % (name, code))
    if settings:
        with open(ini) as f:
            expect(f.read() == settings, "%s: vadrel.ini changed" % name)
    fix = "senza_fix=true" not in settings
    kinds = set()
    for sentence in sentences:
        try:
            msg = pynmea2.parse(sentence, check=True)
            kinds.add(msg.sentence_type)
        except pynmea2.ParseError as e:
            expect(False, "%s: pynmea2 refuses %s: %s" % (name, sentence, e))
    expect(len(kinds) >= 5, "%s: pynmea2 saw only %s" % (name, sorted(kinds)))
    for result in signalk(sentences, sys.argv[2] if len(sys.argv) > 2 else "node"):
        sentence = result["sentence"]
        expect("error" not in result, "%s: Signal K refuses %s: %s" % (name, sentence, result.get("error")))
        got = signalk_values(result)
        if sentence.startswith("$GPRMC") and fix:
            expect(abs(got["navigation.speedOverGround"] / SPEED_MS - 1) < 0.005
                   and abs(math.degrees(got["navigation.courseOverGroundTrue"]) - COURSE) < 0.2,
                   "%s: Signal K reads %s as %s" % (name, sentence, got))
        if sentence.startswith("$GPRMC") and not fix:
            expect(got.get("navigation.position", 0) is None, "%s: Signal K finds a position in %s" % (name, sentence))
        if sentence.startswith("$GPGGA") and fix:
            expect(got.get("navigation.gnss.antennaAltitude") == ALTITUDE,
                   "%s: Signal K reads %s as %s" % (name, sentence, got))
    print("%s: %d sentences, pynmea2 saw %s" % (name, len(sentences), " ".join(sorted(kinds))))


def main():
    binary = sys.argv[1]
    # Local time an hour ahead of UTC, so the UTC fields can be told from it.
    os.environ["TZ"] = "ITA-1"
    runs = [("GPS standard", (), ""), ("radio", ("--modo", "radio"), ""),
            ("GPS standard without a fix", (), "[ricevitore]\nsenza_fix=true\nfrasi=rmc\nutc=false\nquota=9\n")]
    with concurrent.futures.ThreadPoolExecutor(len(runs) + 1) as pool:
        jobs = [pool.submit(check_gpsd, binary)] + [pool.submit(check_clients, binary, *run) for run in runs]
        for job in jobs:
            job.result()
    checks.finish()


if __name__ == "__main__":
    main()
