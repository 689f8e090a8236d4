#!/usr/bin/python3
"""The window program with its map open at 1600 x 1000 over street tiles
from a server on 127.0.0.1 that sends, as asked, ordinary tiles of 256
pixels ("normale"), "retina" tiles of 512 ("retina"), tiles that decode to
95 MB, 5000 x 5000 RGBA in 97 KB of PNG ("bomba"), or its answers a byte a
second ("goccia"). While the map stays open: the program's CPU, the arrival
of each second's sentence after the wall-clock second, the time the control
interface takes to answer (20 GET /api/v1/stato), the requests the
server saw and how many are still open, Qt's English warnings on standard
error. The map must rest once its tiles are in (or refused): the CPU near
that of the map without tiles, the tick's arrival unchanged.

    bench/window_tiles.py build/src/app/vadrel [normale|retina|bomba|goccia] [seconds] [picture.png] [WxH]

Defaults: bomba, 60 s, a map of 1600x1000. With a picture's path, the map window is saved
there at the end (ImageMagick's import). Runs its own X server (Xvfb,
1920 x 1200) and opens the map as an operator does (Alt+V, M) with xdotool."""

import os
import select
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tick_offset import Arrivals, open_reader, summary, virtual_port  # noqa: E402
from window_map import cpu_seconds, rss_kb, window_with_caption  # noqa: E402


def png(width, height, colour_type, row_bytes, compress_level=6):
    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    header = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, colour_type, 0, 0, 0])
    rows = (b"\0" + row_bytes) * height
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, compress_level))
            + chunk(b"IEND", b""))


class TileServer:
    def __init__(self, kind):
        self.requests = 0
        self.open = 0
        lock = threading.Lock()
        if kind == "bomba":
            body = png(5000, 5000, 6, b"\0" * 20000, 9)
        elif kind == "retina":
            body = png(512, 512, 2, bytes((200, 120, 40)) * 512)
        else:
            body = png(256, 256, 2, bytes((200, 120, 40)) * 256)
        self.body_size = len(body)
        server = self

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                with lock:
                    server.requests += 1
                    server.open += 1
                try:
                    self.send_response(200)
                    self.send_header("Content-Type", "image/png")
                    self.send_header("Content-Length", str(len(body)))
                    self.send_header("Cache-Control", "max-age=3600")
                    self.end_headers()
                    if kind == "goccia":
                        for byte in body:
                            self.wfile.write(bytes([byte]))
                            self.wfile.flush()
                            time.sleep(1.0)
                    else:
                        self.wfile.write(body)
                except OSError:
                    pass
                finally:
                    with lock:
                        server.open -= 1

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def address(self):
        return "http://127.0.0.1:%d/{z}/{x}/{y}.png" % self.server.server_address[1]


def wait_window(caption, seconds=60.0):
    """The window's id; a loaded machine may take a while to show it."""
    end = time.time() + seconds
    while time.time() < end:
        window = window_with_caption(caption)
        if window:
            return window
        time.sleep(0.1)
    subprocess.run(["xwininfo", "-root", "-tree"])
    sys.exit("no window \"%s\"" % caption)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def control_answers(port, count=20):
    """The time of `count` GET /api/v1/stato on the control interface (ms)."""
    times = []
    for _ in range(count):
        start = time.time()
        with socket.create_connection(("127.0.0.1", port), timeout=10) as client:
            client.sendall(b"GET /api/v1/stato HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nConnection: close\r\n\r\n" % port)
            while client.recv(65536):
                pass
        times.append((time.time() - start) * 1000.0)
        time.sleep(0.05)
    return times


def main():
    binary = sys.argv[1]
    kind = sys.argv[2] if len(sys.argv) > 2 else "bomba"
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    shot = sys.argv[4] if len(sys.argv) > 4 and sys.argv[4] else None
    width, height = (sys.argv[5] if len(sys.argv) > 5 else "1600x1000").split("x")
    server = TileServer(kind)
    folder = tempfile.mkdtemp(prefix="vadrel-tiles-")
    with open(os.path.join(folder, "vadrel.cnf"), "wb") as f:
        # one vehicle standing: the view stays where it is
        rows = ['45,27,"N",,9,11,"E",0,0,#TRUE#,#FALSE#'] + ['0,0,"",,0,0,"",0,0,#FALSE#,#FALSE#'] * 20
        f.write(("\r\n".join(rows + [",".join(['"#"'] * 10)]) + "\r\n").encode())
    with open(os.path.join(folder, "vadrel.ini"), "w") as ini:
        ini.write("[mappa]\nstrade=true\nindirizzo=%s\n" % server.address())
    # a disk cache of its own: each run asks the server
    os.environ["XDG_CACHE_HOME"] = os.path.join(folder, "cache")
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "1920x1200x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    select.select([read_end], [], [], 10)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 64).decode().strip()
    errors = open(os.path.join(folder, "stderr.txt"), "w+")
    control = free_port()
    proc = subprocess.Popen([binary, "--cartella", folder, "--com", "2=pty", "--controllo", "127.0.0.1:%d" % control],
                            stdout=subprocess.PIPE,
                            stderr=errors, text=True)
    try:
        fd = open_reader(virtual_port(proc))
        main_window = wait_window("Quorvel vadrel - Simulatore GPS")
        subprocess.run(["xdotool", "windowfocus", "--sync", main_window], check=True)
        subprocess.run(["xdotool", "key", "alt+v", "m"], check=True)
        map_window = wait_window("vadrel - Mappa")
        subprocess.run(["xdotool", "windowsize", "--sync", map_window, width, height], check=False)
        arrivals = Arrivals(fd)
        cpu_before = cpu_seconds(proc.pid)
        started = time.time()
        # the first 10 s load the tiles (or refuse them); the rest is the map at rest
        arrivals.read(min(10.0, seconds), [proc.stdout.fileno()])
        cpu_loading = cpu_seconds(proc.pid) - cpu_before
        arrivals.read((seconds - min(10.0, seconds)) / 2, [proc.stdout.fileno()])
        answers = control_answers(control)
        arrivals.read((seconds - min(10.0, seconds)) / 2, [proc.stdout.fileno()])
        cpu = cpu_seconds(proc.pid) - cpu_before
        # a slow control interface makes the run longer than asked
        elapsed = time.time() - started
        resting = elapsed - min(10.0, seconds)
        errors.seek(0)
        warnings = [line for line in errors if "Rejecting" in line or "QImage" in line]
        print("== %s tiles (%d bytes each), map open at %s x %s for %.0f s"
              % (kind, server.body_size, width, height, seconds))
        print(summary(arrivals.offsets, arrivals.rmc_seconds, elapsed))
        late = ["%d: %.0f ms" % (i, ms) for i, ms in enumerate(arrivals.offsets) if ms > 100]
        print("seconds whose sentence came over 100 ms late: %s" % (", ".join(late) or "none"))
        print("CPU: %.2f s = %.1f %% of one core; the first 10 s %.1f %%, the %.0f s after %.1f %%"
              % (cpu, 100.0 * cpu / elapsed, 100.0 * cpu_loading / min(10.0, seconds), resting,
                 100.0 * (cpu - cpu_loading) / resting if resting > 0 else 0.0))
        print("control interface, GET /api/v1/stato at rest: median %.1f ms, max %.1f ms"
              % (statistics.median(answers), max(answers)))
        print("resident memory: %.1f MB" % (rss_kb(proc.pid) / 1024))
        print("requests: %d, still open: %d; Qt's image warnings on stderr: %d"
              % (server.requests, server.open, len(warnings)))
        if shot:
            subprocess.run(["import", "-window", map_window, shot], check=False)
        os.close(fd)
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=15)
        xvfb.terminate()
        xvfb.wait(timeout=10)
        server.server.shutdown()


if __name__ == "__main__":
    main()
