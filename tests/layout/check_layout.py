#!/usr/bin/env python3
"""The direction of the source folders.

Each folder of src/ may include its own headers and those of the folders
below it in LAYERS, never one above it. LAYERS is the one ordered table; the
table in src/README.md and the order of the libraries in CMakeLists.txt
mirror it, and this script fails when they do not.

    check_layout.py [SOURCE_ROOT]    (the checkout; by default the one holding this script)
"""

import pathlib
import re
import sys

# Lowest first: a folder uses only the folders before it.
LAYERS = [
    "os", "model", "motion", "fleet", "nmea", "routes", "sky", "serial", "link", "ais", "marine",
    "config", "control", "outputs", "log", "tick", "tracker", "scenario", "panel", "gui", "app",
]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/', re.MULTILINE)
README_ROW = re.compile(r"^\| `([A-Za-z0-9_]+)/` \|", re.MULTILINE)
CMAKE_ORDER = re.compile(r"^foreach\(dir ([a-z_ ]+)\)", re.MULTILINE)


def problems(root):
    """What breaks the layout under the checkout `root`, one line each."""
    root = pathlib.Path(root)
    src = root / "src"
    rank = {folder: i for i, folder in enumerate(LAYERS)}
    found = []
    folders = sorted(p.name for p in src.iterdir() if p.is_dir())
    for folder in folders:
        if folder not in rank:
            found.append(f"src/{folder}/ is not in the table of layers")
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in rank:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            used = match.group(1)
            if used in rank and rank[used] > rank[folder]:
                line = text.count("\n", 0, match.start()) + 1
                found.append(f"{path.relative_to(root)}:{line}: {folder}/ includes {used}/, which is above it")
    readme = src / "README.md"
    rows = README_ROW.findall(readme.read_text(encoding="utf-8")) if readme.exists() else []
    if rows != LAYERS:
        found.append(f"src/README.md's table lists {rows}, not {LAYERS}")
    cmake = root / "CMakeLists.txt"
    order = CMAKE_ORDER.search(cmake.read_text(encoding="utf-8")) if cmake.exists() else None
    if not order or order.group(1).split() != LAYERS:
        found.append(f"CMakeLists.txt does not add the folders in the order {LAYERS}")
    return found


def main(argv, check=None):
    """Prints what `check` (by default `problems`) finds; 1 when it finds anything."""
    root = argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    found = (check or problems)(root)
    for problem in found:
        print(problem, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
