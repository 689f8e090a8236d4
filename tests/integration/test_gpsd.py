#!/usr/bin/python3
"""gpsd, a real NMEA client, reads vadrel's virtual port and its TCP server
and reports the position vadrel is sending."""

import json
import sys
import time

from vadrel_run import Vadrel, gpsd_reports


def main():
    binary = sys.argv[1]
    vadrel = Vadrel(binary, "--tcp", "0")
    tcp = "tcp://127.0.0.1:%d" % vadrel.tcp_port()
    # the TCP server, twice: gpsd restarted picks the stream up again (gpsd
    # on the virtual port: the motion clients' test; as its own user, as a
    # service runs it: test_accounts.py)
    sources = [(tcp, {}), (tcp, {})]
    try:
        fixes = [(source, as_user, gpsd_reports(source, 1, time.monotonic() + 30, **as_user))
                 for source, as_user in sources]
    finally:
        code = vadrel.stop()
    # the start-up position 44 deg 1,7775 min N, 10 deg 8,0623 min E reads as
    # 44 deg 02 min N, 10 deg 08 min E on the first tick
    expected_lat = 44 + 2 / 60
    expected_lon = 10 + 8 / 60
    for source, as_user, reports in fixes:
        assert reports, "gpsd reported no position from %s" % source
        fix = reports[0]
        print("gpsd TPV from %s%s:" % (source, " as gpsd" if as_user else ""), json.dumps(fix))
        assert abs(fix["lat"] - expected_lat) < 1e-5, fix
        assert abs(fix["lon"] - expected_lon) < 1e-5, fix
    assert code == 0, "vadrel exit code %d" % code
    print("%d passed, 0 failed" % len(fixes))


if __name__ == "__main__":
    main()
