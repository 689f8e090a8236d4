#!/usr/bin/python3
"""Each vehicle's stream on the real program: three vehicles of "--mezzi 3"
on --tcp-mezzi, a client of each port sees only its vehicle's $GPRMC (no
"@n"), a gpsd on each port reports its own vehicle's position, the control
interface gives each vehicle's MMSI and port; --tcp-verso-mezzi sends each
vehicle to its own listening server. --tcp-verso to a server that goes away
and comes back gets the stream again within the pause, and a server that
never reads does not slow the seconds. Bases that cannot be used end the
program with code 2 before anything opens."""

import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from vadrel_run import Checks, GpsdWatch, Vadrel, folder_with_vehicle, free_base, read_for

EMPTY = b'0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#\r\n'
MARKER = b'"#","#","#","#","#","#","#","#","#","#"\r\n'
# Vehicle k at 44 + k degrees north, 10 east, heading north at 36 km/h.
VEHICLES = [b'%d,0,"N",,10,0,"E",36,0,#TRUE#,#FALSE#' % (44 + k) for k in range(3)]
GPSD = os.path.exists("/usr/sbin/gpsd")


def lines_from(sock, seconds):
    """The lines a socket gives for that many seconds."""
    return [line for line in read_for(sock, seconds).decode("ascii", "replace").split("\r\n") if line]


def latitude(rmc):
    fields = rmc.split(",")
    return int(fields[3][:2]) + float(fields[3][2:]) / 60


def fleet_folder():
    folder = tempfile.mkdtemp(prefix="vadrel-streams-")
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        f.write(b"\r\n".join(VEHICLES) + b"\r\n" + EMPTY * (21 - len(VEHICLES)) + MARKER)
    return folder


def listener(port):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(4)
    s.settimeout(15)
    return s


def per_vehicle(binary, checks):
    base = free_base()
    out_base = free_base(above=base + 20)
    servers = [listener(out_base + k) for k in range(3)]
    vadrel = Vadrel(binary, "--mezzi", "3", "--tcp-mezzi", str(base), "--tcp-verso-mezzi",
                    "127.0.0.1:%d" % out_base, "--controllo", "127.0.0.1:0", folder=fleet_folder())
    try:
        url = vadrel.said(r"in ascolto su (http://\S+)/api/v1").group(1)
        vadrel.said(r"mezzo 2: TCP in ascolto su 127\.0\.0\.1:%d" % (base + 2))
        clients = [socket.create_connection(("127.0.0.1", base + k), timeout=5) for k in range(3)]
        try:
            socket.create_connection(("127.0.0.1", base + 3), timeout=2).close()
            checks.expect(False, "vehicle 3 is not in use: nobody on its port")
        except OSError:
            pass
        accepted = [s.accept()[0] for s in servers]
        for k, client in enumerate(clients):
            lines = lines_from(client, 2.5)
            checks.expect(len(lines) >= 2, "port %d: a $GPRMC a second (%r)" % (k, lines))
            checks.expect(all(line.startswith("$GPRMC,") for line in lines), "port %d: only $GPRMC, no @n" % k)
            checks.expect(all(abs(latitude(line) - (44 + k)) < 0.01 for line in lines),
                          "port %d: only vehicle %d (%r)" % (k, k, lines))
        for k, conn in enumerate(accepted):
            lines = lines_from(conn, 1.5)
            checks.expect(lines and all(abs(latitude(line) - (44 + k)) < 0.01 for line in lines),
                          "server %d of --tcp-verso-mezzi: vehicle %d (%r)" % (k, k, lines))
        for k in range(3):
            with urllib.request.urlopen("%s/api/v1/mezzi/%d" % (url, k), timeout=5) as answer:
                vehicle = json.load(answer)
            checks.expect(vehicle.get("porta_flusso") == base + k and vehicle.get("mmsi") == "90000000%d" % k,
                          "the control interface: vehicle %d's port and MMSI (%r)" % (k, vehicle))
        if GPSD:
            deadline = time.monotonic() + 40
            watches = [GpsdWatch("tcp://127.0.0.1:%d" % (base + k), deadline) for k in range(3)]
            try:
                for k, watch in enumerate(watches):
                    seen = []
                    while len(seen) < 2:
                        got = watch.next_report(deadline)
                        if got is None:
                            break
                        if got[1].get("class") == "TPV" and "lat" in got[1]:
                            seen.append(got[1]["lat"])
                    checks.expect(len(seen) == 2 and all(abs(lat - (44 + k)) < 0.01 for lat in seen),
                                  "gpsd on port %d: vehicle %d's position (%r)" % (base + k, k, seen))
            finally:
                for watch in watches:
                    watch.close()
        for s in clients + accepted + servers:
            s.close()
    finally:
        checks.expect(vadrel.stop() == 0, "--tcp-mezzi: an orderly end")


def sending(binary, checks):
    port, deaf_port = free_base(1), None
    server = listener(port)
    deaf = socket.socket()
    deaf.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
    deaf.bind(("127.0.0.1", 0))
    deaf.listen(1)
    deaf_port = deaf.getsockname()[1]
    # the full set at ten fixes a second: a few KB a second, which a deaf server's buffers soon hold
    vadrel = Vadrel(binary, "--tcp-verso", "127.0.0.1:%d" % port, "--tcp-verso", "127.0.0.1:%d" % deaf_port,
                    "--frasi", "complete", "--satelliti", "--frequenza", "10",
                    folder=folder_with_vehicle('44,0,"N",,10,0,"E",36,0,#TRUE#,#FALSE#'))
    # the monitor's lines, read as they come so that the pipe never fills
    monitor = []

    def read_monitor():
        try:
            for line in vadrel.proc.stdout:
                monitor.append((time.monotonic(), line))
        except (OSError, ValueError):
            pass  # closed at the end

    threading.Thread(target=read_monitor, daemon=True).start()
    try:
        conn = server.accept()[0]
        checks.expect(any(line.startswith("$GPRMC") for line in lines_from(conn, 1.5)), "--tcp-verso: the stream")
        conn.close()
        server.close()
        vadrel.said(r"TCP verso 127\.0\.0\.1:%d: collegamento perso" % port)
        time.sleep(2.5)
        server = listener(port)
        back = time.monotonic()
        conn = server.accept()[0]
        checks.expect(time.monotonic() - back < 4.5, "back within the pause (%.1f s)" % (time.monotonic() - back))
        checks.expect(any(line.startswith("$GPRMC") for line in lines_from(conn, 1.5)), "the stream again")
        # the deaf server never reads: the seconds go on at their rate
        start = time.monotonic()
        time.sleep(6)
        seconds = {match.group(1) for at, line in list(monitor) if at > start
                   for match in [re.match(r"\$GPRMC,(\d{6})", line)] if match}
        checks.expect(len(seconds) >= 5, "a deaf server does not slow the tick (%d seconds in 6 s)" % len(seconds))
        checks.expect(any("TCP verso 127.0.0.1:%d: saltato" % deaf_port in line for _, line in monitor),
                      "the deaf server's seconds are skipped")
        conn.close()
        server.close()
    finally:
        deaf.close()
        code, said, _ = vadrel.finish()
        checks.expect(code == 0, "--tcp-verso: an orderly end")
        checks.expect(said.count("collegamento perso") <= 2, "each loss said once:\n" + said)


def refused(binary, checks):
    rows = [
        (["--tcp-mezzi", "65530"], "la porta base va da 1 a 65515", "past 65535"),
        (["--tcp-mezzi", "0"], "la porta base va da 1 a 65515", "base 0"),
        (["--tcp", "10110", "--tcp-mezzi", "10100"], "10110 è già del server TCP", "the TCP server's port"),
        (["--controllo", "8080", "--tcp-mezzi", "8070"], "8080 è già dell'interfaccia di controllo",
         "the control port"),
        (["--tcp-verso-mezzi", "host:65520"], "la porta base va da 1 a 65515", "sending past 65535"),
        (["--tcp-verso", "[::1:5"], "--tcp-verso", "a bad address"),
    ]
    for args, text, message in rows:
        run = subprocess.run([binary, "--senza-finestra", *args], capture_output=True, text=True, timeout=15)
        checks.expect(run.returncode == 2 and text in run.stderr, "%s: code 2 and %r (%d %r)" %
                      (message, text, run.returncode, run.stderr))


def main():
    binary = sys.argv[1]
    checks = Checks()
    refused(binary, checks)
    per_vehicle(binary, checks)
    sending(binary, checks)
    checks.finish()


if __name__ == "__main__":
    main()
