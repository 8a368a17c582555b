#!/usr/bin/env python3
"""readme.py - the release's plain-text readmes, their shared parts taken
from docs/usage.md, so that the readmes and the usage page say one thing.

    readme.py TEMPLATE=OUT [TEMPLATE=OUT ...]

In each TEMPLATE (release/README.txt, release/kit-README.txt) a line
{{docs/usage.md: NAME}} stands for the part of docs/usage.md between the
lines <!-- readme: NAME --> and <!-- readme end -->, written as plain text:
paragraphs and list items wrapped at 76 columns, indented code as it is,
tables in columns (or, when most first cells are too long for a column, each
row as its first cell with the rest indented under it).  Code marks, links
and bold go; in running text a code span that holds a blank is put in
double quotes, so that its ends show.  OUT keeps the template's @VERSION@
and line ends for tools/dist.sh; the same files give the same bytes.

It writes nothing and exits with 1 on a placeholder with no part, a part
that no template uses or that is left open, markdown it does not render (a
heading, HTML, a mark left over), a table row with the wrong number of
cells, a word too long for its column, and text outside ASCII.
"""
import re
import sys
from pathlib import Path

USAGE = Path(__file__).resolve().parent.parent / "docs" / "usage.md"
WIDTH, INDENT, GAP = 76, 2, 2     # the text; a table's indent and column gap
FIRST_MAX, MIDDLE_MAX = 30, 24    # a table's first column; those before its last
PLACEHOLDER = re.compile(r"\{\{docs/usage\.md: ([a-z0-9-]+)\}\}")
LIST_ITEM = re.compile(r"(- |\d+\. )(.*)")


class Failure(Exception):
    pass


def parts():
    """Every marked part of usage.md: name -> [(line number, line)]."""
    found, name = {}, None
    for number, line in enumerate(USAGE.read_text(encoding="utf-8").splitlines(), 1):
        start = re.fullmatch(r"<!-- readme: ([a-z0-9-]+) -->", line.strip())
        end = line.strip() == "<!-- readme end -->"
        if start and name is None and start.group(1) not in found:
            name = start.group(1)
            found[name] = []
        elif start or (end and name is None):
            raise Failure(f"docs/usage.md:{number}: a part starts inside another, "
                          "a second time, or ends without starting")
        elif end:
            name = None
        elif name is not None:
            found[name].append((number, line))
    if name is not None:
        raise Failure(f"docs/usage.md: the part {name} has no <!-- readme end -->")
    return found


def inline(text, where, quote_blanks):
    """Markdown's inline marks dropped; code spans kept as they are."""
    pieces = re.split(r"(`[^`]*`)", text)
    for i, piece in enumerate(pieces):
        if i % 2:
            code = piece[1:-1]
            quote = quote_blanks and " " in code and not code.startswith('"')
            pieces[i] = f'"{code}"' if quote else code
            continue
        piece = re.sub(r"\*\*([^*]+)\*\*", r"\1", re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", piece))
        for mark in ("`", "*", "](", "<", "\\"):
            if mark in piece:
                raise Failure(f"{where}: \"{mark}\" left over in: {piece.strip()}")
        pieces[i] = piece
    return "".join(pieces)


def pack(pieces, width):
    lines = []
    for piece in pieces:
        if lines and len(lines[-1]) + 1 + len(piece) <= width:
            lines[-1] += " " + piece
        else:
            lines.append(piece)
    return lines or [""]


def wrap(text, width, where, by_entries=False):
    """Greedy wrapping at blanks outside double quotes.  By entries: a list
    of comma-separated entries, each of which fits, breaks only after a comma."""
    words, entries, quoted = [""], [""], False
    for c in text + " ":
        if c == " " and not quoted:
            if words[-1]:
                entries[-1] = f"{entries[-1]} {words[-1]}".strip()
                if words[-1].endswith(","):
                    entries.append("")
                words.append("")
            continue
        quoted ^= c == '"'
        words[-1] += c
    entries = [e for e in entries if e]
    if by_entries and len(entries) > 1 and all(len(e) <= width for e in entries):
        lines = pack(entries, width)
    else:
        lines = pack([w for w in words if w], width)
    for line in lines:
        if len(line) > width:
            raise Failure(f"{where}: \"{line}\" does not fit in {width} columns")
    return lines


def table(block, where):
    rows = []
    for number, line in block:
        cells = re.split(r"(?<!\\)\|", line.strip())
        if len(cells) < 3 or cells[0] or cells[-1]:
            raise Failure(f"{where}:{number}: a table row must start and end with |")
        rows.append([c.strip().replace("\\|", "|") for c in cells[1:-1]])
    if len(rows) < 3 or not all(re.fullmatch(r":?-+:?", c) for c in rows[1]):
        raise Failure(f"{where}:{block[0][0]}: a table needs a header, a rule and rows")
    del rows[1], block[1]
    for (number, _), cells in zip(block, rows):
        if len(cells) != len(rows[0]):
            raise Failure(f"{where}:{number}: {len(cells)} cells, not {len(rows[0])}")
    rows = [[inline(c, f"{where}:{n}", False).strip() for c in cells]
            for (n, _), cells in zip(block, rows)]
    at = f"{where}:{block[0][0]}"
    if len(rows[0]) == 2 and 2 * sum(len(r[0]) > FIRST_MAX for r in rows[1:]) > len(rows) - 1:
        lines = []
        for first, rest in rows[1:]:
            lines.append(" " * INDENT + first)
            lines += [" " * (INDENT + 4) + l for l in wrap(rest, WIDTH - INDENT - 4, at)]
        return lines
    widths = [max([len(r[0]) for r in rows if len(r[0]) <= FIRST_MAX] or [FIRST_MAX])]
    widths += [min(MIDDLE_MAX, max(len(r[i]) for r in rows)) for i in range(1, len(rows[0]) - 1)]
    widths.append(WIDTH - INDENT - sum(widths) - GAP * len(widths))
    lines = []
    for row in rows:
        columns = [wrap(cell, width, at, by_entries=True) for cell, width in zip(row, widths)]
        if len(row[0]) > widths[0]:
            lines.append(" " * INDENT + row[0])  # on a line of its own, the rest below
            columns[0] = [""]
        for k in range(max(len(c) for c in columns)):
            texts = [c[k] if k < len(c) else "" for c in columns]
            line = "".join(t.ljust(w + GAP) for t, w in zip(texts, widths[:-1])) + texts[-1]
            lines.append((" " * INDENT + line).rstrip())
    return lines


def render(lines, where):
    """A part of usage.md as plain text lines."""
    out, i = [], 0
    while i < len(lines):
        number, line = lines[i]
        at, block = f"{where}:{number}", []

        def take(belongs):
            nonlocal i
            while i < len(lines) and lines[i][1].strip() and belongs(lines[i][1]):
                block.append(lines[i])
                i += 1

        if not line.strip():
            i += 1
            continue
        if line.startswith(("#", "<", ">", "```")):
            raise Failure(f"{at}: not rendered as plain text: {line}")
        if line.startswith("|"):
            take(lambda l: l.startswith("|"))
            text = table(block, where)
        elif line.startswith("    "):
            take(lambda l: l.startswith("    "))
            text = [l.rstrip() for _, l in block]
        elif LIST_ITEM.fullmatch(line):
            take(lambda l: True)
            items = []
            for n, l in block:
                m = LIST_ITEM.fullmatch(l)
                if m:
                    items.append([m.group(1), m.group(2)])
                elif l.startswith("  "):
                    items[-1][1] += " " + l.strip()
                else:
                    raise Failure(f"{where}:{n}: a line in a list that is not indented")
            text = []
            for marker, item in items:
                item = wrap(inline(item, at, True), WIDTH - len(marker), at)
                text += [marker + item[0]] + [" " * len(marker) + l for l in item[1:]]
        else:
            take(lambda l: not l.startswith("|") and not LIST_ITEM.fullmatch(l))
            text = wrap(inline(" ".join(l.strip() for _, l in block), at, True), WIDTH, at)
        out += ([""] if out else []) + text
    if not out:
        raise Failure(f"{where}: an empty part")
    return out


def main(argv):
    if len(argv) < 2 or not all("=" in a for a in argv[1:]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        available, results = parts(), []
        unused = set(available)
        for template, out in (a.split("=", 1) for a in argv[1:]):
            text = ""
            for number, line in enumerate(Path(template).read_text(encoding="utf-8")
                                          .splitlines(keepends=True), 1):
                body = line.rstrip("\r\n")
                m = PLACEHOLDER.fullmatch(body)
                if m is None and "{{" in line or m and m.group(1) not in available:
                    raise Failure(f"{template}:{number}: no such part of docs/usage.md: {body}")
                if m is None:
                    text += line
                    continue
                unused.discard(m.group(1))
                ending = line[len(body):]
                text += "".join(l + ending for l in render(available[m.group(1)],
                                                          f"docs/usage.md ({m.group(1)})"))
            for number, line in enumerate(text.splitlines(), 1):
                if not line.isascii():
                    raise Failure(f"{out}:{number}: text outside ASCII: {line}")
            results.append((out, text))
        if unused:
            raise Failure(f"docs/usage.md: no template uses the part(s) {', '.join(sorted(unused))}")
    except (Failure, OSError, UnicodeDecodeError) as e:
        print(f"readme: {e}", file=sys.stderr)
        return 1
    for out, text in results:
        Path(out).write_text(text, encoding="utf-8", newline="")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
