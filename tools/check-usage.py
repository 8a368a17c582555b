#!/usr/bin/env python3
"""Keeps the two users' texts in step: docs/usage.md and release/README.txt
(the readme in the plugin zip) must hold the same table of formats (flags,
format, example) and the same table of messages (message, when).

    tools/check-usage.py [USAGE.md README.txt]

Without arguments it reads the project's own two files.  Cells are compared
after markdown's code marks are dropped and every run of white space is made
one blank.  Prints one line per difference and exits with 1 on any, and also
when a file cannot be read or a table is missing, empty, ambiguous or laid
out so that it cannot be read for sure: finding nothing is a failure.

In README.txt a table starts at its header line (two blanks, then the column
names) and ends at the first empty line.  Columns are separated by two or
more blanks outside double quotes, and each piece of text must start exactly
where its column's name starts.  A line with nothing in the first column
continues the row above it.
"""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# The two tables: a name, the markdown header, the plain-text header.
TABLES = [
    ("formats", ["flags", "format", None], ["flags", "format", "example"]),
    ("messages", ["message", "when"], ["message", "when"]),
]


class Unreadable(Exception):
    """A file or a table that cannot be read for sure."""


def read_text(path):
    try:
        return path.read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as e:
        raise Unreadable(f"{path}: cannot be read: {e}")


def normalise(text):
    text = text.replace("`", "")
    return " ".join(text.split())


# ---------------------------------------------------------------------------
# docs/usage.md

def markdown_cells(line):
    line = line.strip()
    if not (line.startswith("|") and line.endswith("|")) or len(line) < 2:
        return None
    cells = re.split(r"(?<!\\)\|", line[1:-1])
    return [c.replace("\\|", "|") for c in cells]


def markdown_tables(text):
    """Every pipe table: (line number of its header, header, rows)."""
    lines = text.splitlines()
    tables = []
    i = 0
    while i + 1 < len(lines):
        header = markdown_cells(lines[i])
        rule = markdown_cells(lines[i + 1])
        if header and rule and all(re.fullmatch(r"\s*:?-+:?\s*", c) for c in rule):
            rows = []
            j = i + 2
            while j < len(lines) and markdown_cells(lines[j]) is not None:
                rows.append((j + 1, markdown_cells(lines[j])))
                j += 1
            tables.append((i + 1, header, rows))
            i = j
        else:
            i += 1
    return tables


def markdown_table(path, text, name, wanted):
    found = []
    for line, header, rows in markdown_tables(text):
        names = [normalise(h).lower() for h in header]
        if len(names) == len(wanted) and all(w is None or w == n for w, n in zip(wanted, names)):
            found.append((line, rows))
    if not found:
        raise Unreadable(f"{path}: no table of {name} (header {header_text(wanted)})")
    if len(found) > 1:
        lines = ", ".join(str(line) for line, _ in found)
        raise Unreadable(f"{path}: {len(found)} tables of {name}, at lines {lines}")
    line, rows = found[0]
    result = []
    for number, cells in rows:
        if len(cells) != len(wanted):
            raise Unreadable(f"{path}:{number}: {len(cells)} cells in a row of {name}, "
                             f"not {len(wanted)}")
        result.append((number, [normalise(c) for c in cells]))
    if not result:
        raise Unreadable(f"{path}:{line}: the table of {name} has no rows")
    return result


def header_text(wanted):
    return " | ".join(w if w is not None else "..." for w in wanted)


# ---------------------------------------------------------------------------
# release/README.txt

def pieces(path, number, line):
    """The texts of a line with where each starts; two or more blanks outside
    double quotes separate them."""
    if "\t" in line:
        raise Unreadable(f"{path}:{number}: a tab in a table line")
    if line.count('"') % 2:
        raise Unreadable(f"{path}:{number}: a double quote left open in a table line")
    result = []
    start = None
    quoted = False
    blanks = 0
    for i, c in enumerate(line + "  "):
        if c == " " and not quoted:
            blanks += 1
            if blanks == 2 and start is not None:
                result.append((start, line[start:i - 1]))
                start = None
            continue
        if start is None:
            start = i
        blanks = 0
        if c == '"':
            quoted = not quoted
    return result


def text_table(path, text, name, wanted):
    lines = text.splitlines()
    pattern = r"^ +" + r" +".join(re.escape(w) for w in wanted) + r" *$"
    headers = [i for i, l in enumerate(lines) if re.match(pattern, l)]
    if not headers:
        raise Unreadable(f"{path}: no table of {name} (a header line: {'  '.join(wanted)})")
    if len(headers) > 1:
        found = ", ".join(str(i + 1) for i in headers)
        raise Unreadable(f"{path}: {len(headers)} tables of {name}, at lines {found}")
    head = headers[0]
    columns = [start for start, _ in pieces(path, head + 1, lines[head])]
    if len(columns) != len(wanted):
        raise Unreadable(f"{path}:{head + 1}: the header of {name} does not part into "
                         f"{len(wanted)} columns")
    rows = []
    for index in range(head + 1, len(lines)):
        line = lines[index].rstrip()
        number = index + 1
        if not line:
            break
        for start, piece in pieces(path, number, line):
            if start not in columns:
                raise Unreadable(f"{path}:{number}: \"{piece}\" starts at column {start + 1}, "
                                 f"where no column of {name} starts")
            column = columns.index(start)
            if column == 0:
                rows.append((number, [[] for _ in wanted]))
            elif not rows:
                raise Unreadable(f"{path}:{number}: \"{piece}\" continues no row of {name}")
            rows[-1][1][column].append(piece)
    if not rows:
        raise Unreadable(f"{path}:{head + 1}: the table of {name} has no rows")
    result = []
    for number, cells in rows:
        cells = [normalise(" ".join(c)) for c in cells]
        for w, c in zip(wanted, cells):
            if not c:
                raise Unreadable(f"{path}:{number}: a row of {name} with no {w}")
        result.append((number, cells))
    return result


# ---------------------------------------------------------------------------

def flags_covered(path, rows):
    """The formats' flags must name each of 0 to 7 once."""
    problems = []
    seen = []
    for number, cells in rows:
        m = re.fullmatch(r"(\d+)(?: \(or (\d+)\))?", cells[0])
        if not m:
            problems.append(f"{path}:{number}: formats: flags \"{cells[0]}\" is not "
                            "a number or \"N (or M)\"")
            continue
        seen += [int(g) for g in m.groups() if g is not None]
    if sorted(seen) != list(range(8)) and not problems:
        problems.append(f"{path}: formats: the flags name {sorted(seen)}, "
                        "not each of 0 to 7 once")
    return problems


def compare(name, columns, md_path, md_rows, txt_path, txt_rows):
    problems = []
    keyed = []
    for path, rows in ((md_path, md_rows), (txt_path, txt_rows)):
        table = {}
        for number, cells in rows:
            if cells[0] in table:
                problems.append(f"{path}:{number}: {name}: \"{cells[0]}\" a second time")
            table.setdefault(cells[0], (number, cells))
        keyed.append(table)
    md, txt = keyed
    for key in md:
        if key not in txt:
            problems.append(f"{name}: \"{key}\" is in {md_path} (line {md[key][0]}) "
                            f"but not in {txt_path}")
    for key in txt:
        if key not in md:
            problems.append(f"{name}: \"{key}\" is in {txt_path} (line {txt[key][0]}) "
                            f"but not in {md_path}")
    for key in md:
        if key not in txt:
            continue
        (md_line, md_cells), (txt_line, txt_cells) = md[key], txt[key]
        for column, a, b in zip(columns[1:], md_cells[1:], txt_cells[1:]):
            if a != b:
                problems.append(f"{name}: \"{key}\": {column} differs: "
                                f"{md_path}:{md_line} \"{a}\", {txt_path}:{txt_line} \"{b}\"")
    if not problems and list(md) != list(txt):
        problems.append(f"{name}: the rows come in another order in {md_path} "
                        f"than in {txt_path}")
    return problems


def shown(path):
    """The project's own files by their names in the project."""
    try:
        return path.resolve().relative_to(ROOT)
    except ValueError:
        return path


def main(argv):
    if len(argv) == 1:
        md_path, txt_path = ROOT / "docs" / "usage.md", ROOT / "release" / "README.txt"
    elif len(argv) == 3:
        md_path, txt_path = Path(argv[1]), Path(argv[2])
    else:
        print("usage: check-usage.py [USAGE.md README.txt]")
        return 1
    problems = []
    counts = []
    try:
        md_text = read_text(md_path)
        txt_text = read_text(txt_path)
        md_path, txt_path = shown(md_path), shown(txt_path)
        for name, md_header, txt_header in TABLES:
            md_rows = markdown_table(md_path, md_text, name, md_header)
            txt_rows = text_table(txt_path, txt_text, name, txt_header)
            if name == "formats":
                problems += flags_covered(md_path, md_rows)
                problems += flags_covered(txt_path, txt_rows)
            problems += compare(name, txt_header, md_path, md_rows, txt_path, txt_rows)
            counts.append(f"{len(md_rows)} {name}")
    except Unreadable as e:
        problems.append(str(e))
    for p in problems:
        print(p)
    if problems:
        print(f"check-usage: {len(problems)} difference(s) or problem(s); "
              f"{md_path} and {txt_path} are not in step")
        return 1
    print(f"check-usage: {md_path} and {txt_path} agree on {' and '.join(counts)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
