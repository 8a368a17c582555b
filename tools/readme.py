#!/usr/bin/env python3
"""readme.py - the release's plain-text readmes, with their shared parts
taken from docs/usage.md, so that the two say each thing once.

    readme.py TEMPLATE=OUT [TEMPLATE=OUT ...]

A template's line {{docs/usage.md: NAME}} becomes the part of docs/usage.md
between <!-- readme: NAME --> and <!-- readme end -->, as plain text:
paragraphs and list items wrapped at 76 columns; code indented by four
blanks as it stands; tables in columns, or as a list when most first cells
are too long for a column; no code marks, links
or bold, and in running text double quotes round a code span that holds a
blank or only punctuation, so that it shows where it starts and ends.
Writes nothing and exits with 1 on a placeholder without a part, a part
that no template uses or that is left open, markdown it does not render, a
table row of the wrong width, a word too long for its column, or text
outside ASCII.  tools/dist.sh then sets @VERSION@ and CRLF line ends.
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
            raise Failure(f"docs/usage.md:{number}: a part inside another, twice, or not begun")
        elif end:
            name = None
        elif name is not None:
            found[name].append((number, line))
    if name is not None:
        raise Failure(f"docs/usage.md: the part {name} has no <!-- readme end -->")
    return found


def inline(text, where, quote):
    """Markdown's inline marks dropped; code spans kept as they are."""
    pieces = re.split(r"(`[^`]*`)", text)
    for i, piece in enumerate(pieces):
        if i % 2:
            code = piece[1:-1]
            bare = " " in code or not any(c.isalnum() for c in code)
            pieces[i] = f'"{code}"' if quote and bare and not code.startswith('"') else code
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
    of comma-separated entries that each fit breaks only after a comma."""
    words, entries, quoted = [""], [""], False
    for c in text + " ":
        if c == " " and not quoted:
            if words[-1]:
                entries[-1] = f"{entries[-1]} {words[-1]}".strip()
                entries += [""] if words[-1].endswith(",") else []
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
    rows = [re.split(r"(?<!\\)\|", line.strip()) for _, line in block]
    if len(rows) < 3 or not all(re.fullmatch(r" *:?-+:? *", c) for c in rows[1][1:-1]):
        raise Failure(f"{where}: a table needs a header, a rule and rows")
    for (number, _), cells in zip(block, rows):
        if len(cells) != len(rows[0]) or cells[0] or cells[-1]:
            raise Failure(f"docs/usage.md:{number}: not a row of {len(rows[0]) - 2} cells in | |")
    rows = [[inline(c.replace("\\|", "|"), where, False).strip() for c in cells[1:-1]]
            for cells in rows[:1] + rows[2:]]
    if len(rows[0]) == 2 and 2 * sum(len(r[0]) > FIRST_MAX for r in rows[1:]) > len(rows) - 1:
        lines = []
        for first, rest in rows[1:]:
            lines.append(" " * INDENT + first)
            lines += [" " * (INDENT + 4) + l for l in wrap(rest, WIDTH - INDENT - 4, where)]
        return lines
    widths = [max([len(r[0]) for r in rows if len(r[0]) <= FIRST_MAX] or [FIRST_MAX])]
    widths += [min(MIDDLE_MAX, max(len(r[i]) for r in rows)) for i in range(1, len(rows[0]) - 1)]
    widths.append(WIDTH - INDENT - sum(widths) - GAP * len(widths))
    lines = []
    for row in rows:
        columns = [wrap(cell, width, where, True) for cell, width in zip(row, widths)]
        if len(row[0]) > widths[0]:
            lines.append(" " * INDENT + row[0])  # on a line of its own, the rest below
            columns[0] = [""]
        for k in range(max(len(c) for c in columns)):
            texts = [c[k] if k < len(c) else "" for c in columns]
            line = "".join(t.ljust(w + GAP) for t, w in zip(texts, widths[:-1])) + texts[-1]
            lines.append((" " * INDENT + line).rstrip())
    return lines


def render(lines, name):
    """A part of usage.md as plain text lines."""
    out, i = [], 0
    while i < len(lines):
        if not lines[i][1].strip():
            i += 1
            continue
        where, kind = f"docs/usage.md:{lines[i][0]} ({name})", lines[i][1][:1]
        if lines[i][1].startswith("    "):  # code, as it stands
            out.append("")
            while i < len(lines) and lines[i][1].startswith("    "):
                if len(lines[i][1]) > WIDTH:
                    raise Failure(f"{where}: \"{lines[i][1]}\" does not fit in {WIDTH} columns")
                out.append(lines[i][1])
                i += 1
            continue
        if lines[i][1].startswith(("#", "<", ">", "```", " ")):
            raise Failure(f"{where}: not rendered as plain text: {lines[i][1]}")
        block = []
        while i < len(lines) and lines[i][1].strip():
            block.append(lines[i])
            i += 1
            if kind != "|" and i < len(lines) and lines[i][1].startswith("|"):
                break
        if kind == "|":
            out += [""] + table(block, where)
        elif LIST_ITEM.fullmatch(block[0][1]):
            items = []
            for number, line in block:
                m = LIST_ITEM.fullmatch(line)
                if not m and not line.startswith("  "):
                    raise Failure(f"docs/usage.md:{number}: a list line not indented")
                items += [[m.group(1), m.group(2)]] if m else []
                items[-1][1] += "" if m else " " + line.strip()
            out.append("")
            for marker, item in items:
                item = wrap(inline(item, where, True), WIDTH - len(marker), where)
                out += [marker + item[0]] + [" " * len(marker) + l for l in item[1:]]
        elif any(LIST_ITEM.fullmatch(line) for _, line in block):
            raise Failure(f"{where}: a list item inside a paragraph")
        else:
            text = " ".join(line.strip() for _, line in block)
            out += [""] + wrap(inline(text, where, True), WIDTH, where)
    if not out:
        raise Failure(f"docs/usage.md: the part {name} is empty")
    return out[1:]


def main(argv):
    if len(argv) < 2 or not all("=" in a for a in argv[1:]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        available, results = parts(), []
        unused = set(available)
        for template, out in (a.split("=", 1) for a in argv[1:]):
            text = ""
            lines = Path(template).read_text(encoding="utf-8").splitlines(keepends=True)
            for number, line in enumerate(lines, 1):
                body = line.rstrip("\r\n")
                m = PLACEHOLDER.fullmatch(body)
                if (m is None and "{{" in line) or (m and m.group(1) not in available):
                    raise Failure(f"{template}:{number}: no such part of docs/usage.md: {body}")
                if m:
                    unused.discard(m.group(1))
                    rendered = render(available[m.group(1)], m.group(1))
                    line = "".join(l + line[len(body):] for l in rendered)
                text += line
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
