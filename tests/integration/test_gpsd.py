#!/usr/bin/python3
"""gpsd, a real NMEA client, reads vadrel's virtual port and reports the
position vadrel is sending."""

import json
import sys
import time

from vadrel_run import Vadrel, gpsd_reports


def main():
    binary = sys.argv[1]
    vadrel = Vadrel(binary)
    try:
        reports = gpsd_reports(vadrel.device, 1, time.monotonic() + 30)
    finally:
        code = vadrel.stop()
    assert reports, "gpsd reported no position"
    fix = reports[0]
    # the start-up position 44 deg 1,7775 min N, 10 deg 8,0623 min E reads as
    # 44 deg 02 min N, 10 deg 08 min E on the first tick
    expected_lat = 44 + 2 / 60
    expected_lon = 10 + 8 / 60
    print("gpsd TPV:", json.dumps(fix))
    assert abs(fix["lat"] - expected_lat) < 1e-5, fix
    assert abs(fix["lon"] - expected_lon) < 1e-5, fix
    assert code == 0, "vadrel exit code %d" % code
    with open(vadrel.config_path(), "rb") as f:
        lines = f.read().split(b"\r\n")
    assert lines[0] == b'44,2,"N",,10,8,"E",0,0,#TRUE#,#FALSE#', lines[0]
    assert len(lines) == 23 and lines[22] == b"", len(lines)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
