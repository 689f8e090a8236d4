"""python/vadrel_client.py against the real control server (with a fake
simulator): each route, the refusals a test script meets, the events'
WebSocket, a 10 MB body, and the key beyond the loopback.

    test_python_client.py PATH/TO/control_test_server
"""

import sys

from control_run import Checks, TestServer
from vadrel_client import Vadrel, VadrelError


def refusal(call):
    try:
        call()
    except VadrelError as error:
        return error
    return None


def main(binary):
    checks = Checks()
    with TestServer(binary, "--ogni", "100") as server:
        vadrel = Vadrel(server.url)
        state = vadrel.state()
        checks.expect(len(state["mezzi"]) == 21 and state["modo"] == "gps", "state: %r" % state)

        v = vadrel.set_vehicle(3, posizione="45 30 0 N 9 12 0 E", rotta=90, velocita=12, unita="nodi")
        checks.expect((v["lat"], v["lon"], v["rotta"], v["velocita"], v["unita"]) == (45.5, 9.2, 90, 12, "nodi"),
                      "vehicle set: %r" % v)
        checks.expect(vadrel.vehicle(3) == v, "vehicle read back")
        v = vadrel.set_vehicle(3, lat=-33.8568, lon=151.2153)
        checks.expect((v["lat"], v["lon"]) == (-33.8568, 151.2153), "decimal degrees: %r" % v)

        for name, call, status, field in [
            ("course beyond 360", lambda: vadrel.set_vehicle(3, rotta=400), 400, "rotta"),
            ("course beyond 16 bits", lambda: vadrel.set_vehicle(3, rotta=70000), 400, "rotta"),
            ("a path as position", lambda: vadrel.set_vehicle(3, posizione="/etc/passwd"), 400, "posizione"),
            ("no such vehicle", lambda: vadrel.vehicle(21), 404, "mezzo"),
            ("bad json", lambda: vadrel.request("PATCH", "/api/v1/mezzi/0", b'{"rotta": '), 415, ""),
            ("not json", lambda: vadrel.request("PATCH", "/api/v1/mezzi/0", b"rotta=9", "text/plain"), 415, ""),
            ("10 MB body", lambda: vadrel.request("PATCH", "/api/v1/mezzi/0", b" " * (10 << 20)), 413, ""),
            ("no such method", lambda: vadrel.request("DELETE", "/api/v1/stato"), 405, ""),
        ]:
            error = refusal(call)
            checks.expect(error is not None and (error.status, error.field) == (status, field) and error.reason,
                          "%s: %r" % (name, error))
        checks.expect(vadrel.vehicle(3)["rotta"] == 90, "a refused course leaves the vehicle as it was")

        # The index, every vehicle, the sky and the AIS through the client's own calls.
        checks.expect(any(line["risorsa"] == "/api/v1/ais" for line in vadrel.index()), "the index")
        checks.expect(vadrel.vehicles()[3] == vadrel.vehicle(3), "every vehicle, each as alone")
        checks.expect(vadrel.set_receiver(maschera=15, elenco_frasi="RMC,GGA")["maschera"] == 15 and
                      vadrel.receiver()["elenco_frasi"] == "RMC,GGA", "the sky's options")
        checks.expect(vadrel.set_ais(attivi=True)["attivi"] is True and vadrel.ais()["attivi"] is True, "AIS on")
        checks.expect(vadrel.set_identity(3, nome="Libeccio")["ais"]["nome"] == "Libeccio", "an identity")
        error = refusal(lambda: vadrel.set_identity(4, tipo=100))
        checks.expect(error is not None and (error.status, error.field) == (400, "ais.tipo"), "type 100: %r" % error)

        vadrel.set_mode("multi", 3)
        with vadrel.events() as events:
            second = events.next(timeout=3)
            checks.expect(len(second["mezzi"]) == 3 and second["mezzi"][2]["numero"] == 2, "events: %r" % second)
            checks.expect(second["inviati"].endswith(",A\r\n") and second["byte"] == len(second["inviati"]),
                          "bytes sent: %r" % second)
            vadrel.lose_fix()
            for _ in range(5):
                second = events.next(timeout=3)
                if second["inviati"].endswith(",V\r\n"):
                    break
            checks.expect(second["inviati"].endswith(",V\r\n"), "fix lost within the next seconds: %r" % second)
        checks.expect(vadrel.state()["ricevitore"]["senza_fix"] is True, "receiver in the state")

    with TestServer(binary, "--indirizzo", "0.0.0.0", "--chiave", "chiave-di-prova-1234567890") as server:
        error = refusal(lambda: Vadrel(server.url).state())
        checks.expect(error is not None and error.status == 401, "no key beyond the loopback: %r" % error)
        error = refusal(lambda: Vadrel(server.url).events())
        checks.expect(error is not None and error.status == 401, "no key, no events: %r" % error)
        keyed = Vadrel(server.url, token="chiave-di-prova-1234567890")
        checks.expect(len(keyed.state()["mezzi"]) == 21, "with the key")
        with keyed.events() as events:
            checks.expect("mezzi" in events.next(timeout=3), "events with the key")
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1])
