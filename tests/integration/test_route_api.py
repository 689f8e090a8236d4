#!/usr/bin/python3
"""Routes through the control interface of the real program: a GPX route
PUT, then every sentence on its legs at the speed set; its progress read
back; the vehicle put off its route by hand goes straight to the point it
was heading for; a course set by hand takes it off its route; DELETE, then
straight on; the route kept in the program's folder and removed with it;
a body past 64 KB taken, one past the route's limit refused before it is
read; hostile files refused with the reason, the vehicle left as it was."""

import glob
import math
import os
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, nmea_degrees  # noqa: E402
from test_control import Port, raw_reply  # noqa: E402
from test_routes import distance, off_leg  # noqa: E402

checks = Checks()
expect = checks.expect

# East along 45 N, then north: two legs of about 1.6 km and 1.1 km.
POINTS = [(45.0, 9.0), (45.0, 9.02), (45.01, 9.02)]
GPX = ("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"prova\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
       "<rte><name>giro</name>%s</rte></gpx>\n" % "".join(
           "<rtept lat=\"%r\" lon=\"%r\"/>" % p for p in POINTS)).encode()


def fix(port):
    rmc = port.next_rmc()
    return nmea_degrees(rmc[3], rmc[4]), nmea_degrees(rmc[5], rmc[6])


def status(call):
    try:
        call()
        return 200, ""
    except VadrelError as e:
        return e.status, e.reason


def main(binary):
    vadrel = Vadrel(binary, "--controllo", "127.0.0.1:0")
    url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
    api_port = int(url.rsplit(":", 1)[1])
    client = Client(url, timeout=20)
    port = Port(vadrel.device)
    kept = os.path.join(vadrel.folder, "vadrel.percorso.0")
    try:
        client.set_vehicle(0, velocita=72, unita="km/h")  # 20 m/s
        given = client.set_route(0, GPX, "application/gpx+xml", fine="ferma")
        expect(given["punti_totali"] == 3 and given["nome"] == "giro" and given["fine"] == "ferma",
               "PUT answers with the route: %r" % {k: v for k, v in given.items() if k != "punti"})
        expect(abs(given["lunghezza_m"] - (distance(*POINTS[:2]) + distance(*POINTS[1:]))) < 1,
               "its length: %r" % given["lunghezza_m"])
        # Written beside the seconds: GET says when it is.
        deadline = time.monotonic() + 30
        while "in corso" in client.route(0, count=1).get("perche_non_tenuto", "") and time.monotonic() < deadline:
            time.sleep(0.05)
        expect(os.path.exists(kept) and len(glob.glob(kept + ".*.gpx")) == 1, "the route kept in the program's folder")

        # Every second on the first leg, 20 m further each time.
        port.drain()
        fixes = [fix(port) for _ in range(5)]
        expect(all(off_leg(f, POINTS[0], POINTS[1]) < 1.0 for f in fixes), "every fix on the first leg: %r" % fixes)
        steps = [distance(a, b) for a, b in zip(fixes, fixes[1:])]
        expect(all(abs(s - 20.0) < 0.5 for s in steps), "20 m between fixes: %r" % steps)

        progress = client.route(0, count=1)["avanzamento"]
        expect(progress["tratta"] == 0 and progress["punto_successivo"] == 1 and progress["fatti_m"] > 60,
               "GET: on leg 0, heading for point 1: %r" % progress)
        expect(abs(progress["restanti_s"] - progress["restanti_m"] / 20.0) < 0.01,
               "time left at the speed set: %r" % progress)

        # Put off its route by hand: straight to point 1, not snapped back.
        off = (44.995, 9.01)
        client.set_vehicle(0, lat=off[0], lon=off[1])
        port.drain()
        fixes = [fix(port) for _ in range(3)]
        expect(all(off_leg(f, off, POINTS[1]) < 1.0 for f in fixes),
               "from where it was put towards point 1: %r" % fixes)
        expect(client.route(0, count=1)["avanzamento"]["tratta"] == -1, "GET: on the leg back to the route")

        # A course by hand: off its route, straight on at that course.
        client.set_vehicle(0, rotta=180)
        code, _ = status(lambda: client.route(0))
        expect(code == 404, "a course set by hand takes it off its route: %d" % code)
        deadline = time.monotonic() + 30  # removed beside the seconds
        while os.path.exists(kept) and time.monotonic() < deadline:
            time.sleep(0.05)
        expect(not os.path.exists(kept), "and the kept route goes with it")
        port.drain()
        a, b = fix(port), fix(port)
        expect(b[0] < a[0] and abs(b[1] - a[1]) < 1e-6, "south from where it was: %r %r" % (a, b))

        # JSON points with the options as fields, then DELETE: straight on.
        json_route = client.set_route(0, [{"lat": 45.0, "lon": 9.0}, {"lat": 45.0, "lon": 9.01, "velocita": 36}],
                                      virata=0)
        expect(json_route["punti_totali"] == 2, "a JSON route: %r" % json_route.get("punti_totali"))
        deadline = time.monotonic() + 30  # kept beside the seconds: first there, then taken away
        while not os.path.exists(kept) and time.monotonic() < deadline:
            time.sleep(0.05)
        client.remove_route(0)
        deadline = time.monotonic() + 30  # removed beside the seconds
        while os.path.exists(kept) and time.monotonic() < deadline:
            time.sleep(0.05)
        expect(status(lambda: client.route(0))[0] == 404 and not os.path.exists(kept), "DELETE: no route, none kept")
        port.drain()
        a, b = fix(port), fix(port)
        expect(abs(b[0] - a[0]) < 1e-6 and b[1] > a[1], "east, straight on: %r %r" % (a, b))

        # Past 64 KB: a route's body is taken; past the route's limit, refused unread.
        many = "lat,lon\n" + "".join("%.6f,%.6f\n" % (45.0 + i * 1e-5, 9.0) for i in range(6000))
        expect(len(many) > 64 * 1024, "a CSV past 64 KB")
        expect(client.set_route(0, many.encode(), "text/csv")["punti_totali"] == 6000, "a CSV of 6000 points taken")
        head = ("PUT /api/v1/mezzi/0/percorso HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: text/csv\r\n"
                "Content-Length: %d\r\n\r\n" % (api_port, 64 * 1024 * 1024)).encode()
        expect(raw_reply(api_port, head + b"lat,lon\n") == 413, "64 MB refused before it is read")
        patch = ("PATCH /api/v1/mezzi/0 HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: application/json\r\n"
                 "Content-Length: %d\r\n\r\n" % (api_port, 100 * 1024)).encode()
        expect(raw_reply(api_port, patch) == 413, "any other route keeps its 64 KB")

        # Hostile files: refused with the reason; the route in force stays.
        laughs = (b'<?xml version="1.0"?><!DOCTYPE gpx [<!ENTITY a "haha"><!ENTITY b "&a;&a;&a;&a;">]>'
                  b'<gpx version="1.1"><rte><rtept lat="45" lon="9"/></rte></gpx>')
        for body, kind, want, says in (
                (laughs, "application/gpx+xml", 400, "DOCTYPE"),
                (GPX[:len(GPX) // 2], "application/gpx+xml", 400, "riga"),
                (b"\x00\x01\x02binario", None, 400, "byte nulli"),
                (b"lat,lon\n95,9\n", "text/csv", 400, "95"),
                (b"<html/>", "text/html", 415, "GPX"),
                (b'{"punti": [{"lat": 45, "lon": 9, "quota": 3}]}', "application/json", 400, "quota"),
                (b"", "text/csv", 400, "vuoto")):
            code, reason = status(lambda: client.set_route(0, body, kind))
            expect(code == want and says in reason, "%r...: %d %r" % (body[:30], code, reason))
        code, reason = status(lambda: client.set_route(0, GPX, "application/gpx+xml", fine="boh"))
        expect(code == 400 and "fine=boh" in reason, "an option that is not one: %d %r" % (code, reason))
        expect(client.route(0, count=1)["punti_totali"] == 6000, "the route in force stays")
    finally:
        port.close()
    code = vadrel.stop()
    expect(code == 0, "exit code 0: %d" % code)
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
