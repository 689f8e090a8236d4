#!/usr/bin/env python3
"""The size of the sources under src/: no file over MAX_FILE_LINES lines, no
function over MAX_FUNCTION_LINES lines.

A function's lines run from the first line of its head (its return type or
name) to its closing brace. Braces are matched after comments, strings and
character literals are blanked, so a brace in a text counts for nothing. A
brace list that is a value (an initializer: `= {`, `x{1, 2}`) is no function,
so a data table needs no mark; a function that holds nothing but a table
says so with a comment naming it a "data table" on one of the three lines
above its head.

    check_sizes.py [SOURCE_ROOT]    (the checkout; by default the one holding this script)
"""

import pathlib
import re
import sys

MAX_FILE_LINES = 600
MAX_FUNCTION_LINES = 80

# Left as they are while they are being split; each entry is
# "path:function" (or "path" for a whole file). An entry that no longer
# applies is only noted, so that the split can land on its own.
EXCEPTIONS: set[str] = set()

# Files held to fewer lines than MAX_FILE_LINES.
FILE_LIMITS = {
    "src/app/program.cpp": 400,
}

CONTAINER = re.compile(r"\b(namespace|class|struct|union|enum)\b|\bextern\s*\"")
QUALIFIERS = {"const", "override", "final", "noexcept", "volatile", "mutable", "try", "&", "&&"}
TRAILING_RETURN = re.compile(r"\)\s*(const\s*)?(noexcept\s*)?->")
TEMPLATE = re.compile(r"\btemplate\s*<[^;{]*?>")
DATA_TABLE = re.compile(r"data table", re.IGNORECASE)


def blank_code(text):
    """The text with comments, string and character literals and preprocessor
    lines turned to spaces; newlines kept, so offsets and lines still match."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True

    def blank(start, end):
        for k in range(start, min(end, n)):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":
            end = i
            while end < n and (text[end] != "\n" or text[end - 1] == "\\"):
                end += 1
            blank(i, end)
            i = end
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")
                                                        or text[i - 1] in "uUL8"):
            open_paren = text.find("(", i + 2)
            delimiter = text[i + 2:open_paren]
            end = text.find(")" + delimiter + '"', open_paren)
            end = n if end < 0 else end + len(delimiter) + 2
            blank(i, end)
            i = end
        elif c == '"' or (c == "'" and not digit_separator(text, i)):
            end = i + 1
            while end < n and text[end] != c and text[end] != "\n":
                end += 2 if text[end] == "\\" else 1
            blank(i, end + 1)
            i = end + 1
        else:
            i += 1
    return "".join(out)


def digit_separator(text, at):
    """Whether the quote at `at` separates digits (1'000, 0xFF'FF) rather than
    opening a character literal (u'x', L'x')."""
    before = text[at - 1] if at > 0 else " "
    if before.isdigit():
        return not text.endswith("u8", 0, at)
    if before in "uUL" and (at < 2 or not (text[at - 2].isalnum() or text[at - 2] == "_")):
        return False
    return before.isalnum() or before == "_"


def matching_brace(code, at):
    """The offset of the brace closing the one at `at` (or the end)."""
    depth = 0
    for k in range(at, len(code)):
        if code[k] == "{":
            depth += 1
        elif code[k] == "}":
            depth -= 1
            if depth == 0:
                return k
    return len(code) - 1


def last_token(head):
    head = head.rstrip()
    if not head:
        return ""
    if head.endswith("&&"):
        return "&&"
    match = re.search(r"([A-Za-z_][A-Za-z0-9_]*|.)$", head)
    return match.group(1)


def function_name(head):
    paren = head.find("(")
    before = head[:paren].rstrip() if paren >= 0 else head
    if before.endswith("operator"):
        return before.split()[-1] + "()"
    match = re.search(r"([A-Za-z_~][A-Za-z0-9_:~<>=!+\-*/\[\]]*)$", before)
    return match.group(1) if match else before.strip()


def functions(text):
    """(name, first line, line count) of each function defined at namespace
    or class level in the C++ `text`."""
    code = blank_code(text)
    found = []
    head_start = 0
    i = 0
    n = len(code)
    while i < n:
        c = code[i]
        if c in ";}":
            head_start = i + 1
        elif c == "{":
            head = code[head_start:i]
            bare = TEMPLATE.sub(" ", head)
            container = CONTAINER.search(bare)
            if container and "(" not in bare[:container.start()]:
                head_start = i + 1  # go inside: its functions count one by one
            elif "(" in head and (last_token(head) == ")" or last_token(head) in QUALIFIERS
                                  or TRAILING_RETURN.search(head)
                                  or (last_token(head) == "}" and re.search(r"\)\s*:", head))):
                end = matching_brace(code, i)
                first = head_start + (len(head) - len(head.lstrip()))
                first_line = code.count("\n", 0, first) + 1
                last_line = code.count("\n", 0, end) + 1
                found.append((function_name(head.strip()), first_line, last_line - first_line + 1))
                i = end
                head_start = end + 1
            else:
                # a value's braces, or a member's initializer before a body:
                # part of the head, not a scope
                i = matching_brace(code, i)
        i += 1
    return found


def marked_table(lines, first_line):
    above = lines[max(first_line - 4, 0):first_line]
    return any(DATA_TABLE.search(line) for line in above)


def problems(root, exceptions=frozenset(EXCEPTIONS)):
    """What is too long under the checkout `root`, one line each; and the
    exceptions that no longer apply."""
    root = pathlib.Path(root)
    found, used = [], set()
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        name = path.relative_to(root).as_posix()
        text = path.read_text(encoding="utf-8", errors="replace")
        lines = text.split("\n")
        count = text.count("\n") + (0 if text.endswith("\n") or not text else 1)
        limit = FILE_LIMITS.get(name, MAX_FILE_LINES)
        if count > limit:
            if name in exceptions:
                used.add(name)
            else:
                found.append(f"{name}: {count} lines (at most {limit})")
        for function, first_line, length in functions(text):
            if length <= MAX_FUNCTION_LINES or marked_table(lines, first_line):
                continue
            key = f"{name}:{function}"
            if key in exceptions:
                used.add(key)
                continue
            found.append(f"{name}:{first_line}: {function} is {length} lines (at most {MAX_FUNCTION_LINES})")
    stale = sorted(set(exceptions) - used)
    return found, stale


def main(argv):
    root = argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    found, stale = problems(root)
    for entry in stale:
        print(f"note: {entry} is within the limits now; take it off the exceptions", file=sys.stderr)
    for problem in found:
        print(problem, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
