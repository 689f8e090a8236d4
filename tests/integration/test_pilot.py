#!/usr/bin/python3
"""The autopilot on the real program: a chart plotter's $GPAPB asking 090
once a second over TCP turns a ship going north at 10 knots to 090 within
14 s at 10 degrees a second, never past it and at its speed, while another
client floods the server and no second is lost; the default rate turns 3
degrees a second, from APBs over UDP; an RMB written into the virtual serial
port steers to its waypoint along the great circle; APBs written into a
real tty (a pseudo-terminal's far end) that vadrel opens as its serial port
turn the RMC it sends out on that same port, whether it transmits or not,
and the tty that vanishes is the usual lost port, without a spin; with the
pilot off the course never changes. The control interface reads and
switches it."""

import contextlib
import math
import os
import pty
import select
import socket
import sys
import tempfile
import threading
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from vadrel_client import Vadrel as Client, VadrelError  # noqa: E402
from vadrel_run import Checks, Vadrel, flood, nmea_degrees  # noqa: E402

SHIP = ("--moto-reale", "--utc", "--mezzo", "0=45 9", "--rotta", "0=0", "--velocita-mezzo", "0=10nodi")


def framed(body):
    checksum = 0
    for c in body.encode():
        checksum ^= c
    return ("$%s*%02X\r\n" % (body, checksum)).encode()


def apb(heading, waypoint="WP1"):
    return framed("GPAPB,A,A,0.10,R,N,V,V,011,M,%s,011,M,%03d,T" % (waypoint, heading))


def rmb(lat, lon, waypoint="BOA"):
    def ddmm(value, width):
        degrees = int(abs(value))
        return "%0*d%05.2f" % (width, degrees, (abs(value) - degrees) * 60)
    return framed("GPRMB,A,,,WP0,%s,%s,%s,%s,%s,,,,V" % (waypoint, ddmm(lat, 2), "N" if lat >= 0 else "S",
                                                      ddmm(lon, 3), "E" if lon >= 0 else "W"))


def rmc_fields(line):
    """time, lat and lon in degrees, speed, course of a $GPRMC line."""
    f = line.split("*")[0].split(",")
    lat, lon = nmea_degrees(f[3], f[4]), nmea_degrees(f[5], f[6])
    return f[1], lat, lon, float(f[7]), float(f[8])


def sender(send, lines, stop, every=1.0):
    """Sends the lines once every `every` seconds until stopped."""
    while not stop.is_set():
        try:
            send(lines)
        except OSError:
            return
        stop.wait(every)


@contextlib.contextmanager
def ship(binary, *extra):
    """The program with the ship going north at 10 knots, and a way to keep
    sending lines once a second: repeat(send, lines); all stopped at the end."""
    vadrel = Vadrel(binary, *SHIP, *extra)
    stop = threading.Event()

    def repeat(send, lines):
        threading.Thread(target=sender, args=(send, lines, stop), daemon=True).start()
    try:
        yield vadrel, repeat, stop
    finally:
        stop.set()
        vadrel.stop()


def rmcs_for(vadrel, seconds):
    """The $GPRMC lines the monitor shows for `seconds`, with their arrival."""
    out, deadline = [], time.monotonic() + seconds
    while time.monotonic() < deadline:
        out.append((time.monotonic(), rmc_fields(vadrel.sentence())))
    return out


def tcp_turns_to_090(binary, checks):
    with ship(binary, "--tcp", "0", "--controllo", "127.0.0.1:0", "--pilota", "--pilota-virata", "10") as (
            vadrel, repeat, stop):
        where = vadrel.said_all({"tcp": r"TCP in ascolto su 127\.0\.0\.1:(\d+)",
                                 "url": r"in ascolto su (http://\S+)/api/v1"})
        port = int(where["tcp"])
        flooded = [0]
        threading.Thread(target=flood, args=(port, stop, (b"$GPAPB,garbage" * 4000)[:65536], None, flooded),
                         daemon=True).start()
        plotter = socket.create_connection(("127.0.0.1", port))
        vadrel.sentence()  # the tick before the first APB
        repeat(plotter.sendall, apb(90))
        seconds = rmcs_for(vadrel, 14)
        courses = [fields[4] for _, fields in seconds]
        checks.expect(courses[-1] == 90.0, "14 s of APB asking 090 turn the ship to 090: %r" % courses)
        # A tick a few milliseconds late turns as much more: the turn is by the clock's seconds.
        checks.expect(all(b >= a and b - a <= 10.5 for a, b in zip(courses, courses[1:])) and max(courses) <= 90.0,
                      "at most 10 degrees a second, never past 090: %r" % courses)
        checks.expect(all(fields[3] == 10.0 for _, fields in seconds), "the speed stays 10 knots")
        gaps = [b - a for (a, _), (b, _) in zip(seconds, seconds[1:])]
        checks.expect(flooded[0] > 100000 and max(gaps) < 1.5,
                      "a flooding client (%d bytes) never slows the tick: %r" % (flooded[0], gaps))
        client = Client(where["url"])
        pilot = client.request("GET", "/api/v1/pilota")
        checks.expect(pilot["attivo"] and pilot["virata"] == 10 and pilot["rotta_chiesta"] == 90 and
                      pilot["verso"] == "WP1" and pilot["fonte"].startswith("tcp 127.0.0.1:") and
                      pilot["xte"] == {"miglia": 0.1, "correggi": "R"} and pilot["ultima_frase_s"] < 3 and
                      pilot["stato"] == "Pilota: rotta 090 verso WP1", "GET /api/v1/pilota: %r" % pilot)
        checks.expect(client.request("GET", "/api/v1/stato")["pilota"]["attivo"], "the pilot in the state")
        try:
            client.request("PATCH", "/api/v1/pilota", {"virata": 0})
            checks.expect(False, "a rate of 0 accepted")
        except VadrelError as e:
            checks.expect(e.status == 400 and e.field == "virata", "a rate of 0 refused: %s" % e)
        off = client.request("PATCH", "/api/v1/pilota", {"attivo": False})
        checks.expect(not off["attivo"] and off["stato"] == "Pilota: spento", "switched off: %r" % off)
        plotter.sendall(apb(180))
        courses = [fields[4] for _, fields in rmcs_for(vadrel, 3)]
        checks.expect(set(courses) == {90.0}, "switched off, an APB asking 180 changes nothing: %r" % courses)
        plotter.close()


def udp_turns_at_the_default_rate(binary, checks):
    with ship(binary, "--udp-ascolto", "127.0.0.1:0", "--pilota") as (vadrel, repeat, _):
        port = int(vadrel.said(r"UDP in ascolto su 127\.0\.0\.1:(\d+)").group(1))
        out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        vadrel.sentence()
        # two lines in one datagram: the XTE first, the APB last without a line end
        lines = framed("GPXTE,A,A,0.50,L,N") + apb(90).rstrip()
        repeat(lambda b: out.sendto(b, ("127.0.0.1", port)), lines)
        courses = [fields[4] for _, fields in rmcs_for(vadrel, 8)]
        # The ticks sit on whole seconds, so a late one is made up by the next:
        # the course k seconds on is 3k degrees further, give or take a tick's jitter.
        turned = [c for c in courses if c > 0]
        checks.expect(len(turned) >= 6 and all(abs(c - turned[0] - 3.0 * k) <= 0.35 for k, c in enumerate(turned)),
                      "APBs over UDP turn the ship 3 degrees a second by default: %r" % courses)


def initial_bearing(lat1, lon1, lat2, lon2):
    p1, p2, dl = math.radians(lat1), math.radians(lat2), math.radians(lon2 - lon1)
    y = math.sin(dl) * math.cos(p2)
    x = math.cos(p1) * math.sin(p2) - math.sin(p1) * math.cos(p2) * math.cos(dl)
    return math.degrees(math.atan2(y, x)) % 360


def rmb_steers_to_its_waypoint(binary, checks):
    with ship(binary, "--pilota", "--pilota-virata", "90") as (vadrel, repeat, stop):
        fd = os.open(vadrel.device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        repeat(lambda b: os.write(fd, b), rmb(46.0, 10.0))
        seconds = rmcs_for(vadrel, 6)
        stop.set()
        os.close(fd)
        _, lat, lon, _, course = seconds[-1][1]
        expected = initial_bearing(lat, lon, 46.0, 10.0)
        checks.expect(abs(course - expected) <= 0.3,
                      "RMB over the serial port: course %.1f, the great circle's bearing %.2f" % (course, expected))


def cable():
    """The far end of a serial cable: the master of a pseudo-terminal, and a
    link of a name of its own to the slave (QSerialPort locks by name, and
    runs side by side reuse /dev/pts numbers)."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    folder = tempfile.mkdtemp(prefix="vadrel-cavo-")
    device = os.path.join(folder, "cavo")
    os.symlink(os.ttyname(slave), device)
    os.close(slave)
    return master, device


def rmcs_from(master, seconds):
    """The $GPRMC lines that come out of the far end in `seconds`."""
    pending, out, deadline = b"", [], time.monotonic() + seconds
    while time.monotonic() < deadline:
        if select.select([master], [], [], 0.2)[0]:
            pending += os.read(master, 65536)
            *lines, pending = pending.split(b"\r\n")
            out += [rmc_fields(line.decode()) for line in lines if line.startswith(b"$GPRMC")]
    return out


def tty_turns_the_rmc_it_sends(binary, checks):
    master, device = cable()
    with ship(binary, "--com", "3=" + device, "--porta", "3", "--pilota", "--pilota-virata", "30",
              "--controllo", "127.0.0.1:0") as (vadrel, repeat, stop):
        url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
        repeat(lambda b: os.write(master, b), apb(90))
        courses = [fields[4] for fields in rmcs_from(master, 6)]
        checks.expect(courses and courses[-1] == 90.0 and max(courses) <= 90.0,
                      "APBs into the tty turn the RMC on that same port to 090: %r" % courses)
        client = Client(url)
        checks.expect(client.request("GET", "/api/v1/pilota")["fonte"] == "seriale " + device,
                      "the pilot names the tty as its source")
        client.request("PATCH", "/api/v1/pilota", {"virata": 180})
        client.request("PUT", "/api/v1/trasmissione", {"attiva": False})
        stop.set()
        time.sleep(1.2)  # the sender's last APB heard before the next
        os.write(master, apb(270))
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and client.request("GET", "/api/v1/pilota")["rotta_chiesta"] != 270:
            time.sleep(0.2)
        checks.expect(client.request("GET", "/api/v1/pilota")["rotta_chiesta"] == 270,
                      "transmission off, the open tty is still heard")
        client.request("PUT", "/api/v1/trasmissione", {"attiva": True})
        os.close(master)  # the device vanishes
        said = vadrel.said(r"porta No Tx: (.*)").group(1)
        checks.expect(said == "porta persa durante la scrittura: %s: errore di lettura o scrittura del dispositivo "
                              "(guasto o scollegato?)" % device, "the tty gone is the usual lost port: %r" % said)
        before = vadrel.cpu_seconds()
        time.sleep(3)
        checks.expect(vadrel.proc.poll() is None and vadrel.cpu_seconds() - before < 0.6,
                      "no spin once the tty is gone: %.2f s of CPU in 3 s" % (vadrel.cpu_seconds() - before))


def off_never_turns(binary, checks):
    with ship(binary, "--tcp", "0") as (vadrel, repeat, _):
        plotter = socket.create_connection(("127.0.0.1", vadrel.tcp_port()))
        repeat(plotter.sendall, apb(90))
        courses = [fields[4] for _, fields in rmcs_for(vadrel, 5)]
        checks.expect(set(courses) == {0.0}, "the pilot off: the course never changes: %r" % courses)
        plotter.close()


def main(binary):
    checks = Checks()
    for case in (tcp_turns_to_090, udp_turns_at_the_default_rate, rmb_steers_to_its_waypoint, tty_turns_the_rmc_it_sends,
                 off_never_turns):
        try:
            case(binary, checks)
        except Exception as e:  # noqa: BLE001 - one case's failure is reported, the others still run
            checks.expect(False, "%s: %r" % (case.__name__, e))
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
