#!/usr/bin/env python3
"""make_zip.py - writes a zip whose bytes depend only on what goes into it.

    make_zip.py OUT.zip EPOCH NAME=FILE [NAME=FILE ...]

Each FILE is stored as NAME (a path inside the zip, with /), in the order
given, compressed with deflate at level 9, dated EPOCH (seconds since 1970,
read as UTC) and marked as a plain file made on MS-DOS/Windows; nothing of
the file's own time, owner or permissions goes in.  So the same files give
the same zip on any machine at any time.
"""
import sys
import time
import zipfile


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out, epoch, entries = argv[1], int(argv[2]), argv[3:]
    # A zip's dates are MS-DOS dates: 1980 to 2107, in steps of two seconds.
    date_time = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for entry in entries:
            name, _, path = entry.partition("=")
            info = zipfile.ZipInfo(name, date_time=date_time)
            info.create_system = 0           # MS-DOS/Windows attributes
            info.external_attr = 0x20        # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
