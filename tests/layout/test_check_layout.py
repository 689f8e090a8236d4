#!/usr/bin/env python3
"""The layout checker on small trees: what it lets through, what it stops."""

import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_layout  # noqa: E402
import check_sizes  # noqa: E402

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


def body(lines):
    """A function body of `lines` lines in all, head and closing brace included."""
    return "int f(int a) {\n" + "    a += 1;\n" * (lines - 2) + "}\n"


class SizeChecker(unittest.TestCase):
    def test_functions_found(self):
        # message, C++ text, the (name, first line, lines) expected
        rows = [
            ("a plain function", "int f() {\n    return 1;\n}\n", [("f", 1, 3)]),
            ("members, a constructor's initializers with braces, a qualifier",
             "A::A(int x)\n    : a_(x), b_{x} {\n    g();\n}\nint A::get() const {\n    return a_;\n}\n",
             [("A::A", 1, 4), ("A::get", 5, 3)]),
            ("a class's inline members count, the class does not",
             "class A {\n    int f() { return 1; }\n    int x_{0};\n};\n", [("f", 2, 1)]),
            ("inside namespaces and a template",
             "namespace a {\nnamespace {\ntemplate <class T>\nT g(T t) {\n    return t;\n}\n}\n}\n",
             [("g", 3, 4)]),
            ("braces in texts, characters and comments count for nothing",
             "int f() {\n    s = \"}\";\n    c = '}';\n    // }\n    /* } */\n    r = R\"x(})x\";\n}\nint g() {}\n",
             [("f", 1, 7), ("g", 8, 1)]),
            ("a digit separator is no character", "int f() { return 1'000; }\nint g() { return '{'; }\n",
             [("f", 1, 1), ("g", 2, 1)]),
            ("a table is a value, not a function",
             "const int table[] = {\n    1,\n    2,\n};\nstd::vector<int> v{1, 2};\n", []),
            ("a lambda belongs to its function", "void f() {\n    auto g = [](int) {\n        h();\n    };\n}\n",
             [("f", 1, 5)]),
            ("a trailing return type", "auto f() -> int {\n    return 1;\n}\n", [("f", 1, 3)]),
            ("a preprocessor line's braces", "#define X {\nint f() {\n}\n", [("f", 2, 2)]),
        ]
        for message, text, expected in rows:
            with self.subTest(message):
                self.assertEqual(check_sizes.functions(text), expected, message)

    def test_limits(self):
        # message, files under the checkout, exceptions, what the report must name ("": nothing), stale exceptions
        limit = check_sizes.MAX_FUNCTION_LINES
        long_file = "\n" * check_sizes.MAX_FILE_LINES + "int x;\n"
        rows = [
            ("a function at the limit", {"src/a/a.cpp": body(limit)}, set(), "", []),
            ("a function one line over", {"src/a/a.cpp": body(limit + 1)}, set(),
             f"src/a/a.cpp:1: f is {limit + 1} lines", []),
            ("a header's function too", {"src/a/a.h": "\n" + body(limit + 1)}, set(), "src/a/a.h:2: f", []),
            ("a marked data table", {"src/a/a.cpp": "// The data table of the options.\n" + body(limit + 9)}, set(),
             "", []),
            ("a file at the limit", {"src/a/a.cpp": "\n" * check_sizes.MAX_FILE_LINES}, set(), "", []),
            ("a file one line over", {"src/a/a.cpp": long_file}, set(),
             f"src/a/a.cpp: {check_sizes.MAX_FILE_LINES + 1} lines", []),
            ("a last line without its newline counts", {"src/a/a.cpp": long_file[:-1]}, set(), "src/a/a.cpp: ", []),
            ("a file outside src/ is not looked at", {"tests/a.cpp": long_file + body(limit + 1)}, set(), "", []),
            ("excepted function and file", {"src/a/a.cpp": long_file + body(limit + 1)},
             {"src/a/a.cpp", "src/a/a.cpp:f"}, "", []),
            ("an exception that no longer applies", {"src/a/a.cpp": body(3)}, {"src/a/a.cpp:f"}, "",
             ["src/a/a.cpp:f"]),
        ]
        for message, files, exceptions, expected, stale in rows:
            with self.subTest(message), tempfile.TemporaryDirectory() as folder:
                root = pathlib.Path(folder)
                (root / "src").mkdir()
                for path, text in files.items():
                    (root / path).parent.mkdir(parents=True, exist_ok=True)
                    (root / path).write_text(text)
                found, unused = check_sizes.problems(root, exceptions)
                report = "\n".join(found)
                if expected:
                    self.assertIn(expected, report, message)
                else:
                    self.assertEqual(report, "", message)
                self.assertEqual(unused, stale, message)

    def test_a_file_held_to_fewer_lines(self):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            (root / "src/app").mkdir(parents=True)
            (root / "src/app/program.cpp").write_text("\n" * 401)
            found, _ = check_sizes.problems(root, set())
            self.assertEqual(found, ["src/app/program.cpp: 401 lines (at most 400)"])


if __name__ == "__main__":
    unittest.main()
