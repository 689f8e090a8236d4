#!/usr/bin/env python3
"""The size checker on small trees: what it lets through, what it stops."""

import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_sizes  # noqa: E402


def tree(root, files):
    """A checkout under `root` holding `files` (path: number of lines)."""
    for path, lines in files.items():
        (root / path).parent.mkdir(parents=True, exist_ok=True)
        (root / path).write_text("x\n" * lines)


class Checker(unittest.TestCase):
    def test_cases(self):
        # files (path: lines), the LONG table, the words of each problem expected (none: passes)
        cases = [
            ({"src/a/a.cpp": 600, "tests/a/t.cpp": 600}, {}, []),
            ({"src/a/a.cpp": 601}, {}, ["src/a/a.cpp has 601 lines, more than 600"]),
            ({"fuzz/f.h": 601, "tests/a/t.cpp": 2000}, {}, []),  # only the program's sources
            ({"src/b/b.h": 700}, {}, ["src/b/b.h has 700"]),
            ({"src/a/notes.txt": 900}, {}, []),
            ({"src/app/program.cpp": 400}, {}, []),
            ({"src/app/program.cpp": 401}, {}, ["more than 400"]),
            ({"src/a/a.cpp": 700}, {"src/a/a.cpp": 700}, []),
            ({"src/a/a.cpp": 701}, {"src/a/a.cpp": 700}, ["may not grow past 700"]),
            ({"src/a/a.cpp": 600}, {"src/a/a.cpp": 700}, ["take it out of LONG"]),
            ({"src/app/program.cpp": 450}, {"src/app/program.cpp": 690}, []),
            ({"src/app/program.cpp": 400}, {"src/app/program.cpp": 690}, ["take it out of LONG"]),
            ({}, {"src/gone.cpp": 700}, ["src/gone.cpp is in LONG but no longer exists"]),
            ({"build/src/a.cpp": 900, "src/a/ok.h": 3}, {}, []),
        ]
        for files, long, expected in cases:
            with self.subTest(files=files, long=long), tempfile.TemporaryDirectory() as d:
                root = pathlib.Path(d)
                tree(root, files)
                found = check_sizes.problems(root, long)
                self.assertEqual(len(found), len(expected), found)
                for problem, words in zip(found, expected):
                    self.assertIn(words, problem)


if __name__ == "__main__":
    unittest.main()
