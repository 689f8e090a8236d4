#!/usr/bin/env python3
"""The layout checker on small trees: what it lets through, what it stops."""

import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_layout  # noqa: E402

LAYERS = check_layout.LAYERS


def tree(root, files):
    """A checkout under `root`: a README table and a CMakeLists.txt that follow
    LAYERS, an empty folder per layer, then `files` (path: text) over them."""
    src = root / "src"
    for folder in LAYERS:
        (src / folder).mkdir(parents=True, exist_ok=True)
    rows = "".join(f"| `{folder}/` | x | y |\n" for folder in LAYERS)
    (src / "README.md").write_text("| folder | what | uses |\n|---|---|---|\n" + rows)
    (root / "CMakeLists.txt").write_text(f"foreach(dir {' '.join(LAYERS)})\nendforeach()\n")
    for path, text in files.items():
        (root / path).parent.mkdir(parents=True, exist_ok=True)
        (root / path).write_text(text)


class Checker(unittest.TestCase):
    def test_cases(self):
        # message, files written over a tree that follows the table, what the report must name ("" : nothing)
        rows = [
            ("own folder and folders below", {"src/tick/a.cpp": '#include "tick/a.h"\n#include "nmea/sentences.h"\n'
                                                                '#include "os/descriptor.h"\n#include <QObject>\n'}, ""),
            ("a generated header outside src/", {"src/app/a.cpp": '#include "vadrel/version.h"\n'}, ""),
            ("an upward include in a header", {"src/nmea/a.h": '// x\n  #  include "tick/transmitter.h"\n'},
             "src/nmea/a.h:2: nmea/ includes tick/"),
            ("an upward include two layers up", {"src/os/b.cpp": '#include "gui/keys.h"\n'}, "os/ includes gui/"),
            ("a folder the table does not know", {"src/misc/x.h": "\n"}, "src/misc/ is not in the table"),
            ("the README's table out of order", {"src/README.md": "| `model/` | | |\n| `os/` | | |\n"},
             "src/README.md's table"),
            ("the libraries out of order", {"CMakeLists.txt": "foreach(dir model os)\n"}, "CMakeLists.txt"),
        ]
        for message, files, expected in rows:
            with self.subTest(message), tempfile.TemporaryDirectory() as folder:
                root = pathlib.Path(folder)
                tree(root, files)
                report = "\n".join(check_layout.problems(root))
                if expected:
                    self.assertIn(expected, report, message)
                else:
                    self.assertEqual(report, "", message)


if __name__ == "__main__":
    unittest.main()
