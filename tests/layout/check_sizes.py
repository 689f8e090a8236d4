#!/usr/bin/env python3
"""The size of the sources.

No C++ source under src/ is longer than LIMIT lines (a test file holds the
tests of one library, and may be longer),
and src/app/program.cpp, the wiring of the whole program, is kept under its
own tighter limit. LONG lists the files over the limit today with the lines
they may still have: such a file may shrink, never grow, and once it is
within the limit its row must go.

    check_sizes.py [SOURCE_ROOT]    (the checkout; by default the one holding this script)
"""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_layout  # noqa: E402

LIMIT = 600
TIGHTER = {"src/app/program.cpp": 400}
FOLDERS = ("src",)

# To be split: path -> the most lines it may have until then.
LONG = {}


def line_count(path):
    with open(path, "rb") as f:
        return sum(1 for _ in f)


def problems(root, long=None):
    """What is too long under the checkout `root`, one line each."""
    root = pathlib.Path(root)
    long = LONG if long is None else long
    found = []
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp") or not path.is_file():
                continue
            name = path.relative_to(root).as_posix()
            if name.startswith("build"):
                continue
            lines = line_count(path)
            limit = TIGHTER.get(name, LIMIT)
            allowed = long.get(name)
            if allowed is None and lines > limit:
                found.append(f"{name} has {lines} lines, more than {limit}: split it")
            elif allowed is not None and lines > allowed:
                found.append(f"{name} has {lines} lines: it is to be split, and may not grow past {allowed}")
            elif allowed is not None and lines <= limit:
                found.append(f"{name} has {lines} lines, within {limit}: take it out of LONG")
    for name in sorted(long):
        if not (root / name).is_file():
            found.append(f"{name} is in LONG but no longer exists: take it out")
    return found


if __name__ == "__main__":
    sys.exit(check_layout.main(sys.argv, problems))
