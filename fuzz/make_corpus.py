#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/ from the
examples the test suites use.  Run it again after changing a target's input
layout; the seeds are kept in the repository, so fuzzing needs no Python.

    python3 fuzz/make_corpus.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u16(text):
    return text.encode("utf-16-le")


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


# --- tokenizer: the text itself -------------------------------------------

TOKENIZER = {
    "split-empty-middle": "5,,7",
    "split-quoted-comma": ' "a,b" , c ',
    "split-trailing-comma": "x, ",
    "split-leading-comma": ",x",
    "split-only-commas": ",,",
    "split-empty": "",
    "split-blanks": "   ",
    "split-empty-quotes": '"",5',
    "split-quoted-blank": '" "',
    "split-quote-inside": 'a"b,c"d',
    "split-unclosed-quote": '"a,b',
    "split-tabs": "\t1,\t2\t",
    "split-latin": "h\u00e9llo,\u00dfz",
    "split-wide-spaces": "\u3000x\u2003,\u00a0y\u205f",
    "split-nel-and-ffff": "\u0085x\u0085,x\uffff",
    "split-line-ends": "\r\n\v\f7 \r\n",
    "args-typical": "0,0,2,3",
    "args-quoted": '"0","1","1","1"',
    "edge-fills-buffer": "q" * 8191,
    "edge-overflows": "q" * 8192,
    "edge-separator-fits": "q" * 8189 + ",y",
    "edge-separator-overflows": "q" * 8190 + ",y",
    "edge-separator-at-last": "q" * 8191 + ",, ",
    "edge-untrimmed-on-overflow": "ab ," + "q" * 8190,
    "table-full": "1," * 1024 + "x",
    "table-full-quoted": "2," * 1024 + '"a,b",',
    "table-dropped-overflow": "1," * 1024 + "," * 6143 + "x",
}

# --- cellattr: a header, a tiled cell pattern, then the text ----------------


def cellattr(args, width=120, height=30, window=(0, 0, 79, 24), cursor=(0, 0),
             fail=0, code=0, batch=False, wild=False, pattern=None):
    """The layout documented at the top of cellattr_fuzz.cpp.  A sane window
    is given by its corners; the target derives right and bottom as
    left + r % (width - left) and top + b % (height - top)."""
    left, top, right, bottom = window
    mode = (1 if wild else 0) | (fail << 1) | (8 if batch else 0)
    if wild:
        words = [w & 0xFFFF for w in (left, top, right, bottom, cursor[0], cursor[1])]
    else:
        words = [left, top, right - left, bottom - top, cursor[0], cursor[1]]
    if pattern is None:
        # Row 0 of the tests' screen: 0x07, 0x1F, 0x8007, then 0x07.
        pattern = [0x07, 0x1F, 0x8007] + [0x07] * (width - 3)
    assert 1 <= width <= 256 and 1 <= height <= 64
    data = bytes([width - 1, height - 1, mode])
    data += struct.pack("<6HI", *words, code)
    data += bytes([len(pattern)]) + struct.pack("<%dH" % len(pattern), *pattern)
    return data + u16(args)


FORMAT_CASES = ["0,0", "0,0,2", "0,0,2,1", "0,0,2,2", "0,0,2,3", "0,0,2,4", "0,0,2,5",
                "0,0,2,6", "0,0,2,7", "0,0,2,8", "0,0,,1", "0,0,2,0xFE03", " 0 , 1 ",
                '"0","1","1","1"', "0,0,1,0,extra,args"]
MASK_CASES = ["0,2,1,129", "0,2,1,257", "0,2,1,256", "0,2,1,384", "0,2,1,385",
              "0,2,1,258", "0,2,1,259", "0,2,1,131", "0,2,1,0", "0,2,1,1"]
ARGUMENT_FAILURES = ["", "   ", '" ",0', ",0", "5", "5,", "abc,0", "+0x10,0", "+,0",
                     "+2147483648,0", "4294967296,0", "1 2,0", "0,x y", "0,-2147483649",
                     "0,0,-1", "0,0,1x,zz", "0,0,1,-1", "0,0,1,0x1FFFFFFFF", "0,0,1,%",
                     "0,0,0", "0,0,1025", "0,0,4294967295", "0,0,1,0xFFFFFFF8"]
RANGE_CASES = ["4294967295,0", "0xFFFFFFFF,0", "+2147483647,0", "-2147483648,0",
               "65536,0", "0,65536", "0,65656", "25,0", "0,120", "0,119",
               "\uff11,\u0661"]  # full-width 1, Arabic-Indic 1


def main():
    for name, text in TOKENIZER.items():
        write("tokenizer", name, u16(text))

    for i, args in enumerate(FORMAT_CASES):
        write("cellattr", "format-%02d" % i, cellattr(args))
    for i, args in enumerate(MASK_CASES):
        write("cellattr", "mask-%02d" % i, cellattr(args))
    for i, args in enumerate(ARGUMENT_FAILURES):
        write("cellattr", "bad-argument-%02d" % i, cellattr(args))
    for i, args in enumerate(RANGE_CASES):
        write("cellattr", "range-%02d" % i, cellattr(args, window=(10, 20, 89, 44),
                                                     cursor=(3, 23)))
    for i, args in enumerate(["+0,+0,1,1", "-1,0,1,1", "+2,+2,1,1", "-10,-5,1,1",
                              "-11,0", "+15,0", "0,-6", "0,+115", "0,+114,1,1"]):
        write("cellattr", "relative-%02d" % i, cellattr(args, window=(0, 10, 79, 34),
                                                        cursor=(5, 20)))
    # Console failures, with known and unknown error codes.
    for op, code in [(1, 5), (1, 2), (2, 6), (2, 0xFFFFFFFF), (3, 87), (3, 0x1234)]:
        write("cellattr", "console-fails-%d-%x" % (op, code),
              cellattr("0,0,2,3", fail=op, code=code))
    write("cellattr", "batch-range", cellattr("0,999", batch=True))
    write("cellattr", "batch-read-fails", cellattr("0,0", batch=True, fail=3, code=5))
    # Runs that end at the buffer's end or continue on the next row.
    write("cellattr", "run-end-of-buffer", cellattr("24,100,50,1", height=64,
                                                    window=(0, 39, 79, 63)))
    write("cellattr", "run-next-row", cellattr("0,118,3,1"))
    # The capacity: 1024 long names do not fit, short ones do.
    write("cellattr", "capacity-long-names", cellattr("0,0,1024,3", pattern=[0xDD]))
    for code in (0, 1, 2, 4, 5, 6, 7):
        write("cellattr", "capacity-format-%d" % code,
              cellattr("0,0,1024,%d" % code, pattern=[0xFFDD]))
    # The three boundaries of the last entry, for 1024 cells of format 3 tiled
    # from two attributes: an entry with its separator ends exactly at the
    # capacity; the last entry without its separator fits with the terminator
    # in the buffer's last place; it would need one place more.
    write("cellattr", "capacity-separator-exact", cellattr("0,0,1024,3", pattern=[0x88, 0xDD]))
    write("cellattr", "capacity-last-fits", cellattr("0,0,1024,3", pattern=[0xDE, 0xDE]))
    write("cellattr", "capacity-last-misses", cellattr("0,0,1024,3", pattern=[0xDD, 0x8D]))
    write("cellattr", "capacity-mixed", cellattr("0,0,1024,3",
                                                 pattern=[0xDD, 0xFF, 0x88, 0x07]))
    # A window that reaches past the buffer, and a tiny buffer.
    write("cellattr", "wild-window", cellattr("30,0,5,1", wild=True, height=20,
                                              window=(0, 0, 79, 40), cursor=(0, 0)))
    write("cellattr", "tiny-buffer", cellattr("0,0,1024,2", width=1, height=1,
                                              window=(0, 0, 0, 0), pattern=[0x1234]))


if __name__ == "__main__":
    main()
