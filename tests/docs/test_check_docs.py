#!/usr/bin/env python3
"""The manual's checker on small checkouts: what it lets through, what it stops."""

import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_docs  # noqa: E402

# A checkout whose manual holds together: a README leading to both pages,
# a page linking a heading of the other and naming a file of the tree.
GOOD = {
    "README.md": "# x\n\n![pic](docs/pic.png)\n\n[One](docs/command-line.md), [two](docs/two.md#the-file-vadrelini).\n",
    "docs/command-line.md": "# One\n\nSee [the\nsecond](two.md#a-heading-with-code_name) and src/app/main.cpp.\n\n"
                   "```\nvadrel [--senza-finestra] [--com N=DEVICE]...\n```\n",
    "docs/two.md": "# Two\n\n## The file vadrel.ini\n\n## A heading with `code_name`\n\n```\n# not a heading\n```\n",
    "docs/pic.png": "",
    "src/app/main.cpp": "",
}
HELP = "Uso: vadrel [OPZIONI]\n  --senza-finestra   senza finestra\n  --com N=DEVICE     porta\n"


def checkout(root, changes):
    for path, text in {**GOOD, **changes}.items():
        if text is None:
            continue
        (root / path).parent.mkdir(parents=True, exist_ok=True)
        (root / path).write_text(text, encoding="utf-8")


class Checker(unittest.TestCase):
    def test_cases(self):
        # message, files changed over GOOD (None: left out), the program's --help, what the report must name ("": nothing)
        rows = [
            ("a manual that holds together", {}, HELP, ""),
            ("README of 400 lines", {"README.md": GOOD["README.md"] + "\n" * 395}, HELP, ""),
            ("README of 401 lines", {"README.md": GOOD["README.md"] + "\n" * 396}, HELP, "README.md has 401 lines"),
            ("a link to a page that is gone", {"docs/two.md": None}, HELP, "the link docs/two.md#the-file-vadrelini leads"),
            ("a link split over two lines to a heading renamed",
             {"docs/two.md": GOOD["docs/two.md"].replace("code_name", "name")}, HELP,
             "docs/command-line.md:3: the link two.md#a-heading-with-code_name names no heading"),
            ("a heading inside a fence is no anchor",
             {"README.md": GOOD["README.md"] + "[x](docs/two.md#not-a-heading)\n"}, HELP, "names no heading of two.md"),
            ("a link in a fenced block is code, not a link",
             {"docs/two.md": GOOD["docs/two.md"] + "```\n[ -f x ](nowhere.md)\n```\n"}, HELP, ""),
            ("a picture that is gone", {"docs/pic.png": None}, HELP, "the link docs/pic.png leads to nothing"),
            ("a page the README does not lead to", {"docs/three.md": "# Three\n"}, HELP,
             "README.md does not lead to docs/three.md"),
            ("a file of the tree that is gone", {"src/app/main.cpp": None}, HELP, "names src/app/main.cpp"),
            ("a build's path and a placeholder are not the tree's",
             {"docs/two.md": GOOD["docs/two.md"] + "build/src/app/vadrel.cnf, fuzz/fuzz_NAME.cpp\n"}, HELP, ""),
            ("an option the synopsis lacks", {}, HELP + "  --durata S   secondi\n", "the synopsis lacks --durata"),
            ("an option the program has not", {}, HELP.replace("  --com N=DEVICE     porta\n", ""),
             "the synopsis lists --com, which the program does not have"),
        ]
        for message, changes, help_text, expected in rows:
            with self.subTest(message), tempfile.TemporaryDirectory() as folder:
                root = pathlib.Path(folder)
                checkout(root, changes)
                report = "\n".join(check_docs.problems(root, help_text))
                if expected:
                    self.assertIn(expected, report, message)
                else:
                    self.assertEqual(report, "", message)


if __name__ == "__main__":
    unittest.main()
