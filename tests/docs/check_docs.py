#!/usr/bin/env python3
"""The manual holds together: the README stays short and leads to every page
of docs/, every link and anchor leads somewhere, every file of the checkout
the pages name is there, and the synopsis of the command line lists the
options the program has.

    check_docs.py SOURCE_ROOT [PATH/TO/vadrel]

With the program, its --help is the list of options (the help comes from the
one table of options, as the man page's paragraphs are checked to).
"""

import pathlib
import re
import subprocess
import sys

README_MAX_LINES = 400

FENCE = re.compile(r"^(```|~~~)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
# [text](target) and ![alt](target); a target has no blanks.
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
# A path of the checkout written out: it starts at one of the tree's folders
# and is not the tail of a longer path (build/src/app/... is a build's).
TREE_PATH = re.compile(r"(?<![\w./<>~-])((?:src|tests|bench|scripts|docs|data|examples|python|packaging|cmake|fuzz|\.ci)"
                       r"/[\w./-]*)")
# Placeholders in a path: fuzz/fuzz_NAME.cpp, fuzz/corpus/NAME.
PLACEHOLDER = re.compile(r"[A-Z]{3,}")
SYNOPSIS_OPTION = re.compile(r"\[(--[a-z][a-z-]*)")
HELP_OPTION = re.compile(r"^\s{2}(--[a-z][a-z-]*)", re.MULTILINE)


def slug(heading):
    """The anchor a Markdown heading gets (GitHub's rule): lower case, no
    punctuation but hyphens and underscores, a hyphen for each blank."""
    text = re.sub(r"[^\w\- ]", "", heading.lower())
    return text.replace(" ", "-")


def outside_fences(text):
    """Each line of `text` with its number, and whether it is inside a fenced block."""
    inside = False
    for number, line in enumerate(text.split("\n"), 1):
        if FENCE.match(line.strip()):
            inside = not inside
            yield number, line, True
            continue
        yield number, line, inside


def anchors(text):
    seen = {}
    found = set()
    for _, line, fenced in outside_fences(text):
        match = None if fenced else HEADING.match(line)
        if match:
            base = slug(match.group(2))
            count = seen.get(base, 0)
            seen[base] = count + 1
            found.add(base if count == 0 else f"{base}-{count}")
    return found


def pages(root):
    return [root / "README.md"] + sorted((root / "docs").glob("*.md"))


def problems(root, help_text=None):
    """What is wrong with the manual under the checkout `root`, one line each."""
    root = pathlib.Path(root).resolve()
    found = []
    readme = root / "README.md"
    if not readme.exists():
        return ["README.md is missing"]
    lines = readme.read_text(encoding="utf-8").count("\n")
    if lines > README_MAX_LINES:
        found.append(f"README.md has {lines} lines, more than {README_MAX_LINES}: the manual goes in docs/")
    linked = set()
    for page in pages(root):
        text = page.read_text(encoding="utf-8")
        name = page.relative_to(root)
        prose = []  # the page with its fenced blocks blanked, so that a link may span lines
        for number, line, fenced in outside_fences(text):
            prose.append("" if fenced else line)
            for match in TREE_PATH.finditer(line):
                path = match.group(1).rstrip(".")
                if PLACEHOLDER.search(path):
                    continue
                if not (root / path).exists():
                    found.append(f"{name}:{number}: names {path}, which the checkout does not have")
        prose = "\n".join(prose)
        for match in LINK.finditer(prose):
            number = prose.count("\n", 0, match.start()) + 1
            target = match.group(1)
            if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                continue  # http:, mailto: and the like
            file_part, _, anchor = target.partition("#")
            where = (page.parent / file_part).resolve() if file_part else page
            if not where.exists():
                found.append(f"{name}:{number}: the link {target} leads to nothing")
                continue
            if where.parent == root / "docs" and where.suffix == ".md" and page == readme:
                linked.add(where)
            if anchor and where.suffix == ".md" and anchor not in anchors(where.read_text(encoding="utf-8")):
                found.append(f"{name}:{number}: the link {target} names no heading of {where.name}")
    for page in pages(root)[1:]:
        if page not in linked:
            found.append(f"README.md does not lead to {page.relative_to(root)}")
    if help_text is not None:
        synopsis = command_line_synopsis(root)
        helped = set(HELP_OPTION.findall(help_text))
        for option in sorted(helped - synopsis):
            found.append(f"docs/command-line.md: the synopsis lacks {option}, which --help lists")
        for option in sorted(synopsis - helped):
            found.append(f"docs/command-line.md: the synopsis lists {option}, which the program does not have")
    return found


def command_line_synopsis(root):
    """The options of the first fenced block of docs/command-line.md."""
    page = root / "docs" / "command-line.md"
    if not page.exists():
        return set()
    block = []
    for _, line, fenced in outside_fences(page.read_text(encoding="utf-8")):
        if fenced and not FENCE.match(line.strip()):
            block.append(line)
        elif block:
            break
    return set(SYNOPSIS_OPTION.findall("\n".join(block)))


def main(argv):
    root = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    help_text = None
    if len(argv) > 2:
        help_text = subprocess.run([argv[2], "--help"], capture_output=True, text=True, check=True).stdout
    found = problems(root, help_text)
    for line in found:
        print(line)
    print(f"{len(found)} problems in the manual")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
