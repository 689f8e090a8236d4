#!/usr/bin/python3
"""Real clients follow a moving vehicle on vadrel's virtual port: gpsd and
pynmea2 compute its speed and course from consecutive fixes, and they are
the panel's (0.5 %, 0.2 degrees) in every quadrant, at 70 N and S, across the
equator and the 180th meridian; over the pole the fixes go on without a jump
and the saved course is turned round."""

import concurrent.futures
import datetime
import math
import os
import select
import sys
import time

import pynmea2

from vadrel_run import Vadrel, folder_with_vehicle, gpsd_reports

EARTH_M = 6371000.0
FIXES = 10

# name, reader, vehicle 0 as its vadrel.cnf line, the speed in km/h, the
# course the fixes must show (None: over the pole, where there is none)
ROWS = [
    ("north-west, course 300", "gpsd", '40,42,"N",,74,0,"W",1000,300,#TRUE#,#FALSE#', 1000, 300),
    ("south-east, course 250, in knots", "pynmea2", '33,51,"S",,151,12,"E",540,250,#FALSE#,#TRUE#',
     540 * 1.852, 250),
    ("70 N, course 45", "pynmea2", '70,0,"N",,20,0,"E",1000,45,#TRUE#,#FALSE#', 1000, 45),
    ("70 S, course 135", "gpsd", '70,0,"S",,43,0,"W",1000,135,#TRUE#,#FALSE#', 1000, 135),
    ("south across the equator", "gpsd", '0,1,"N",,10,0,"E",1000,180,#TRUE#,#FALSE#', 1000, 180),
    ("east across 180", "gpsd", '0,0,"N",,179,59,"E",1000,90,#TRUE#,#FALSE#', 1000, 90),
    ("north over the pole", "gpsd", '89,59,"N",,10,0,"E",1000,0,#TRUE#,#FALSE#', 1000, None),
]


def seconds_of(moment):
    return moment.hour * 3600 + moment.minute * 60 + moment.second + moment.microsecond / 1e6


def gpsd_fixes(device, deadline):
    """(time, lat, lon) of the first FIXES TPV reports gpsd gives."""
    fixes = []
    for report in gpsd_reports(device, FIXES, deadline):
        moment = datetime.datetime.fromisoformat(report["time"].replace("Z", "+00:00"))
        fixes.append((seconds_of(moment), report["lat"], report["lon"]))
    return fixes


def pynmea2_fixes(device, deadline):
    """(time, lat, lon) of the first FIXES $GPRMC sentences read from the port."""
    fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    fixes = []
    buffer = b""
    try:
        while len(fixes) < FIXES and time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.5)
            if not ready:
                continue
            buffer += os.read(fd, 4096)
            while b"\n" in buffer:
                line, buffer = buffer.split(b"\n", 1)
                msg = pynmea2.parse(line.decode("ascii").strip(), check=True)
                if isinstance(msg, pynmea2.RMC):
                    fixes.append((seconds_of(msg.timestamp), msg.latitude, msg.longitude))
    finally:
        os.close(fd)
    return fixes


def distance_and_bearing(a, b):
    """Great-circle distance (m) and initial bearing (degrees) from fix a to b."""
    p1, p2 = math.radians(a[1]), math.radians(b[1])
    dl = math.radians(b[2] - a[2])
    h = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dl / 2) ** 2
    distance = 2 * EARTH_M * math.asin(math.sqrt(h))
    bearing = math.atan2(math.sin(dl) * math.cos(p2),
                         math.cos(p1) * math.sin(p2) - math.sin(p1) * math.cos(p2) * math.cos(dl))
    return distance, math.degrees(bearing) % 360


def follow(binary, row):
    name, reader, line, speed, course = row
    vadrel = Vadrel(binary, folder=folder_with_vehicle(line))
    try:
        read = gpsd_fixes if reader == "gpsd" else pynmea2_fixes
        fixes = read(vadrel.device, time.monotonic() + 40)
    finally:
        code = vadrel.stop()
    with open(vadrel.config_path(), "rb") as f:
        saved = f.read().split(b"\r\n")[0].decode()
    return name, reader, speed, course, fixes, code, saved


def check(name, reader, speed, course, fixes, code, saved):
    """The failures of one row, as texts; and what the client computed."""
    failures = []
    if len(fixes) < FIXES:
        return ["%s: %s gave %d fixes" % (name, reader, len(fixes))], ""
    metres = seconds = 0.0
    bearings = []
    for a, b in zip(fixes, fixes[1:]):
        dt = (b[0] - a[0]) % 86400
        d, bearing = distance_and_bearing(a, b)
        if dt <= 0 or abs(d / dt * 3.6 / speed - 1) > 0.05:
            failures.append("%s: a jump from %s to %s" % (name, a, b))
        metres += d
        seconds += dt
        bearings.append(bearing)
    kmh = metres / seconds * 3.6
    mean = math.degrees(math.atan2(sum(math.sin(math.radians(x)) for x in bearings),
                                   sum(math.cos(math.radians(x)) for x in bearings))) % 360
    seen = "%s (%s): %.2f km/h on course %.2f" % (name, reader, kmh, mean)
    if abs(kmh / speed - 1) > 0.005:
        failures.append("%s: %.2f km/h, not %.2f" % (seen, kmh, speed))
    if course is not None and abs((mean - course + 180) % 360 - 180) > 0.2:
        failures.append("%s: not course %d" % (seen, course))
    items = saved.split(",")
    if course is None and (items[2] != '"N"' or items[4:9] != ["170", "0", '"W"', "1000", "180"]):
        failures.append("%s: saved %s, not north of the pole on 170 W heading 180" % (name, saved))
    if code != 0:
        failures.append("%s: vadrel exit code %d" % (name, code))
    return failures, seen


def main():
    binary = sys.argv[1]
    with concurrent.futures.ThreadPoolExecutor(len(ROWS)) as pool:
        results = list(pool.map(lambda row: follow(binary, row), ROWS))
    failures = []
    for result in results:
        failed, seen = check(*result)
        print(seen or failed[0])
        failures += failed
    for failure in failures:
        print("FAILED", failure)
    print("%d passed, %d failed" % (len(ROWS) - len({f.split(":")[0] for f in failures}), len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
