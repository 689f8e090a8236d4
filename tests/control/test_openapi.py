"""docs/openapi.yaml against the routes the control server really serves:
the same paths and methods both ways; each documented operation, asked,
answers with one of its documented codes; every other method of a
documented path answers 405; every $ref leads somewhere.

    test_openapi.py PATH/TO/control_test_server PATH/TO/openapi.yaml
"""

import sys

import yaml

from control_run import Checks, TestServer
from vadrel_client import Vadrel, VadrelError

METHODS = ("get", "put", "patch", "post", "delete", "head", "options")


def refs(node):
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "$ref":
                yield value
            else:
                yield from refs(value)
    elif isinstance(node, list):
        for value in node:
            yield from refs(value)


def resolve(document, ref):
    node = document
    for part in ref.lstrip("#/").split("/"):
        node = node[part]
    return node


def main(binary, description):
    checks = Checks()
    with open(description, encoding="utf-8") as f:
        document = yaml.safe_load(f)
    checks.expect(str(document.get("openapi", "")).startswith("3."), "an OpenAPI 3 document")
    for ref in refs(document):
        try:
            resolve(document, ref)
            checks.expect(True, ref)
        except (KeyError, TypeError):
            checks.expect(False, "reference that leads nowhere: " + ref)

    documented = {(method.upper(), path) for path, item in document["paths"].items()
                  for method in item if method in METHODS}
    with TestServer(binary) as server:
        checks.expect(documented == server.routes,
                      "documented and served differ: only documented %s, only served %s"
                      % (sorted(documented - server.routes), sorted(server.routes - documented)))
        vadrel = Vadrel(server.url)
        for path, item in document["paths"].items():
            concrete = path.replace("{n}", "0")
            for method in ("GET", "PUT", "PATCH", "POST", "DELETE"):
                operation = item.get(method.lower())
                body = {} if method in ("PUT", "PATCH", "POST") else None
                try:
                    vadrel.request(method, concrete, body)
                    status = 200
                except VadrelError as error:
                    status = error.status
                if operation is None:
                    checks.expect(status == 405, "%s %s not documented: %d, not 405" % (method, path, status))
                else:
                    checks.expect(str(status) in operation["responses"],
                                  "%s %s answered %d, not among %s" % (method, path, status,
                                                                        sorted(operation["responses"])))
    checks.finish()


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
