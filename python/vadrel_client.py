"""A client of vadrel's control interface, standard library only.

Drives a running vadrel (started with --controllo [ADDRESS:]PORT) from a
test script: where each vehicle is, where it heads and how fast, the
transmission, the mode, the receiver's options (the fix, the faults), and
the events each second.

    from vadrel_client import Vadrel, VadrelError

    vadrel = Vadrel("http://127.0.0.1:8080")            # token="..." beyond the loopback
    vadrel.set_vehicle(0, posizione="45°30'N 9°12'E", rotta=90, velocita=12, unita="nodi")
    vadrel.set_receiver(senza_fix=True)                 # the receiver loses the fix
    vadrel.set_route(3, "giro.gpx", fine="ciclo")       # vehicle 3 follows a route
    with vadrel.events() as events:
        second = events.next(timeout=3)                 # {"byte": 71, "inviati": "$GPRMC,...", "mezzi": [...]}

A refused value raises VadrelError with the HTTP status, the field and the
reason vadrel gives in Italian (the panel's own). The interface is described
in docs/openapi.yaml.
"""

import base64
import hashlib
import http.client
import json
import os
import socket
import struct
import urllib.parse

__all__ = ["Vadrel", "VadrelError", "Events", "read_token"]


class VadrelError(Exception):
    """A request vadrel refused: status (400, 401, 404, ...), field, reason."""

    def __init__(self, status, reason, field=""):
        super().__init__("%d %s%s" % (status, reason, " (campo %s)" % field if field else ""))
        self.status = status
        self.reason = reason
        self.field = field


def read_token(path):
    """The key kept in vadrel.token (in vadrel's folder)."""
    with open(path, encoding="ascii") as f:
        return f.read().strip()


class Vadrel:
    """One running vadrel, at base_url ("http://127.0.0.1:8080")."""

    def __init__(self, base_url, token=None, timeout=5.0):
        url = urllib.parse.urlsplit(base_url)
        if url.scheme != "http" or not url.hostname:
            raise ValueError("base_url must be http://HOST:PORT, not %r" % base_url)
        self.host = url.hostname
        self.port = url.port or 80
        self.token = token
        self.timeout = timeout

    # ---- the routes ----

    def state(self):
        """GET /api/v1/stato: the simulator and every vehicle."""
        return self.request("GET", "/api/v1/stato")

    def index(self):
        """GET /api/v1: each route with its methods and what it is for."""
        return self.request("GET", "/api/v1")["risorse"]

    def vehicles(self):
        """GET /api/v1/mezzi: the 21 vehicles, each as vehicle(n) gives it."""
        return self.request("GET", "/api/v1/mezzi")["mezzi"]

    def receiver(self):
        """GET /api/v1/ricevitore: the receiver's and the sky's options."""
        return self.request("GET", "/api/v1/ricevitore")

    def ais(self):
        """GET /api/v1/ais: {"attivi", "nave_propria", "statici_subito", "mezzi": [identity...]}."""
        return self.request("GET", "/api/v1/ais")

    def set_ais(self, **switches):
        """PATCH /api/v1/ais with any of attivi, nave_propria, statici_subito."""
        return self.request("PATCH", "/api/v1/ais", switches)

    def instruments(self):
        """GET /api/v1/strumenti: the own ship's instruments (wind, current, depth...)."""
        return self.request("GET", "/api/v1/strumenti")

    def set_instruments(self, **fields):
        """PATCH /api/v1/strumenti: attivi, vento_direzione, vento_nodi, corrente_direzione,
        corrente_nodi, profondita, offset_trasduttore, temperatura_acqua, variazione, deviazione."""
        return self.request("PATCH", "/api/v1/strumenti", fields)

    def set_identity(self, n, **identity):
        """PATCH /api/v1/mezzi/{n} with its AIS identity: any of mmsi (text),
        classe ("A", "B"), nome, tipo (0..99), nominativo."""
        return self.request("PATCH", "/api/v1/mezzi/%d" % n, {"ais": identity})

    def vehicle(self, n):
        """GET /api/v1/mezzi/{n}: {"numero", "lat", "lon", "rotta", "velocita", "unita",
        "mmsi"}, and "porta_flusso" when each vehicle has a stream (--tcp-mezzi)."""
        return self.request("GET", "/api/v1/mezzi/%d" % n)

    def stream_port(self, n):
        """The TCP port of vehicle n's own stream, or None when there are no streams."""
        return self.vehicle(n).get("porta_flusso")

    def set_vehicle(self, n, **fields):
        """PATCH /api/v1/mezzi/{n} with any of lat, lon (degrees), posizione (text),
        rotta, velocita, unita ("km/h" or "nodi"); the vehicle as it is after."""
        return self.request("PATCH", "/api/v1/mezzi/%d" % n, fields)

    def set_transmission(self, on):
        """PUT /api/v1/trasmissione: Start (True) or Stop (False)."""
        return self.request("PUT", "/api/v1/trasmissione", {"attiva": bool(on)})

    def serial_port(self):
        """GET /api/v1/porta: {"numero", "dispositivo", "baud", "aperta", "stato",
        "errore", "trasmissione"}, the serial link."""
        return self.request("GET", "/api/v1/porta")

    def set_serial_port(self, **fields):
        """PUT /api/v1/porta with any of numero (1..4), baud (2400, 4800, 9600),
        trasmissione; the link as it is after (a port that would not open shows
        "aperta": false and the system's "errore")."""
        return self.request("PUT", "/api/v1/porta", fields)

    def set_mode(self, mode, vehicles=None):
        """PUT /api/v1/modo: "gps", "radio" or "multi", and the vehicles of the cycle."""
        body = {"modo": mode}
        if vehicles is not None:
            body["mezzi"] = vehicles
        return self.request("PUT", "/api/v1/modo", body)

    def set_receiver(self, **options):
        """PATCH /api/v1/ricevitore with any of utc, moto_reale, frasi ("rmc",
        "complete"), quota, senza_fix, guasti ({"attivi", "perdita", "checksum",
        "tronca", "seme"})."""
        return self.request("PATCH", "/api/v1/ricevitore", options)

    def lose_fix(self):
        return self.set_receiver(senza_fix=True)

    def regain_fix(self):
        return self.set_receiver(senza_fix=False)

    ROUTE_TYPES = {".gpx": "application/gpx+xml", ".kml": "application/vnd.google-earth.kml+xml",
                   ".csv": "text/csv", ".txt": "text/csv", ".json": "application/json"}

    def set_route(self, n, route, content_type=None, **options):
        """PUT /api/v1/mezzi/{n}/percorso: route is a file's path, its bytes
        (GPX, KML or CSV, content_type said or told by the server from the
        first byte), or a list of points [{"lat", "lon", "velocita"...}];
        options: nome, fine ("ferma", "ciclo", "indietro"), ritmo ("traccia"),
        virata (degrees a second), da ("qui"). The route and the progress."""
        if isinstance(route, list):
            body, content_type = {"punti": route}, "application/json"
        elif isinstance(route, (bytes, bytearray)):
            body = bytes(route)
        else:
            with open(route, "rb") as f:
                body = f.read()
            if content_type is None:
                content_type = self.ROUTE_TYPES.get(os.path.splitext(str(route))[1].lower())
        path = "/api/v1/mezzi/%d/percorso" % n
        if options:
            path += "?" + urllib.parse.urlencode({k: v for k, v in options.items()})
        return self.request("PUT", path, body, content_type)

    def route(self, n, first=0, count=1000):
        """GET /api/v1/mezzi/{n}/percorso: the route (a page of its points from
        `first`) and "avanzamento" (leg, distance done and left, time left)."""
        return self.request("GET", "/api/v1/mezzi/%d/percorso?primo=%d&quanti=%d" % (n, first, count))

    def remove_route(self, n):
        """DELETE /api/v1/mezzi/{n}/percorso: straight on from where it is."""
        return self.request("DELETE", "/api/v1/mezzi/%d/percorso" % n)

    def play_scenario(self, scenario):
        """PUT /api/v1/scenario: scenario is a file's path or its bytes (YAML
        or JSON). Played from the next second, in place of the one under way;
        the answer is its progress, as the state's "scenario" tells it."""
        if isinstance(scenario, (bytes, bytearray)):
            body = bytes(scenario)
        else:
            with open(scenario, "rb") as f:
                body = f.read()
        return self.request("PUT", "/api/v1/scenario", body, "application/yaml")

    def events(self, timeout=None):
        """The WebSocket of GET /api/v1/eventi: a message each second."""
        return Events(self, timeout if timeout is not None else self.timeout)

    # ---- the wire ----

    def headers(self):
        headers = {"Host": "%s:%d" % (self.host, self.port)}
        if self.token:
            headers["Authorization"] = "Bearer " + self.token
        return headers

    def request(self, method, path, body=None, content_type="application/json"):
        """One request on a connection of its own; the JSON of a 200, else VadrelError.
        body: a dict (sent as JSON), bytes (sent as they are) or None."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=self.timeout)
        try:
            headers = self.headers()
            data = None
            if body is not None:
                data = body if isinstance(body, (bytes, bytearray)) else json.dumps(body).encode("utf-8")
                if content_type:
                    headers["Content-Type"] = content_type
            headers["Connection"] = "close"
            try:
                connection.request(method, path, body=data, headers=headers)
            except (BrokenPipeError, ConnectionResetError):
                pass  # refused before the whole body went: the reply says why
            response = connection.getresponse()
            payload = response.read()
        finally:
            connection.close()
        try:
            document = json.loads(payload.decode("utf-8")) if payload else {}
        except ValueError:
            document = {}
        if response.status != 200:
            raise VadrelError(response.status, document.get("errore", response.reason), document.get("campo", ""))
        return document


class Events:
    """A WebSocket client of the events (RFC 6455, text messages, no extensions)."""

    _GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"

    def __init__(self, vadrel, timeout):
        self.socket = socket.create_connection((vadrel.host, vadrel.port), timeout=timeout)
        self.buffer = b""
        key = base64.b64encode(os.urandom(16)).decode("ascii")
        lines = ["GET /api/v1/eventi HTTP/1.1", "Connection: Upgrade", "Upgrade: websocket",
                 "Sec-WebSocket-Version: 13", "Sec-WebSocket-Key: " + key]
        lines += ["%s: %s" % item for item in vadrel.headers().items()]
        self.socket.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        while b"\r\n\r\n" not in self.buffer:
            self._fill()
        head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
        status = int(head.split(b" ", 2)[1])
        if status != 101:
            length = 0
            for line in head.split(b"\r\n")[1:]:
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
            while len(self.buffer) < length:
                self._fill()
            document = json.loads(self.buffer[:length] or b"{}")
            self.close()
            raise VadrelError(status, document.get("errore", ""), document.get("campo", ""))
        accept = base64.b64encode(hashlib.sha1((key + self._GUID).encode("ascii")).digest())
        if b"sec-websocket-accept: " + accept.lower() not in head.lower():
            self.close()
            raise VadrelError(status, "risposta WebSocket non valida")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __iter__(self):
        while True:
            yield self.next()

    def _fill(self):
        data = self.socket.recv(65536)
        if not data:
            raise ConnectionError("vadrel closed the events' connection")
        self.buffer += data

    def _take(self, count):
        while len(self.buffer) < count:
            self._fill()
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def _send(self, opcode, payload=b""):
        mask = os.urandom(4)
        header = bytes([0x80 | opcode, 0x80 | len(payload)])  # control frames: at most 125 bytes
        self.socket.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def next(self, timeout=None):
        """The next second, as a dict; socket.timeout when none came in time."""
        if timeout is not None:
            self.socket.settimeout(timeout)
        message = b""
        while True:
            first, second = self._take(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack("!H", self._take(2))[0]
            elif length == 127:
                length = struct.unpack("!Q", self._take(8))[0]
            mask = self._take(4) if second & 0x80 else None
            payload = self._take(length)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            opcode = first & 0x0F
            if opcode == 0x9:
                self._send(0xA, payload[:125])
                continue
            if opcode == 0x8:
                raise ConnectionError("vadrel closed the events' connection")
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return json.loads(message.decode("utf-8"))

    def close(self):
        try:
            self._send(0x8, struct.pack("!H", 1000))
        except OSError:
            pass
        self.socket.close()
