#!/usr/bin/env python3
"""Writes the header OUTPUT: every code point of the basic multilingual plane
that Unicode counts as a decimal digit (category Nd), with its value, from
Python's own unicodedata.  The tests hold the module's table of digit runs
against it, so that the table is checked against Unicode, not against a copy
of itself.

    python3 tests/unicode_digits.py OUTPUT
"""
import sys
import unicodedata


def main():
    digits = []
    for code in range(0x10000):
        char = chr(code)
        nd = unicodedata.category(char) == "Nd"
        value = unicodedata.decimal(char, -1)
        if nd != (value >= 0):
            sys.exit(f"unicode_digits.py: U+{code:04X} is Nd {nd} but has decimal value {value}")
        if nd:
            digits.append((code, value))
    if not digits:
        sys.exit("unicode_digits.py: unicodedata knows no decimal digit")
    rows = "".join(f"    {{0x{code:04X}, {value}}},\n" for code, value in digits)
    text = (
        "// Written by tests/unicode_digits.py from Python's unicodedata (Unicode "
        f"{unicodedata.unidata_version}):\n"
        "// every code point of the basic multilingual plane in category Nd, with\n"
        "// its decimal value.  Not to be edited.\n"
        "#pragma once\n\n"
        "struct UnicodeDecimalDigit {\n    char16_t code;\n    int value;\n};\n\n"
        "inline constexpr UnicodeDecimalDigit kUnicodeDecimalDigits[] = {\n"
        f"{rows}}};\n"
    )
    with open(sys.argv[1], "w", encoding="ascii", newline="\n") as out:
        out.write(text)


if __name__ == "__main__":
    main()
