#!/bin/bash
# The picture test: the stand-in command processor paints a known screen
# (tests/picture/screen.btm) under Wine on a pseudo-terminal and draws it with
# snap; tests/picture/check_picture.py then parses the SVG and checks the
# pixels of chosen cells in its rendering (rsvg-convert).  Exits with 0 when
# every check passed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/win/bin"
unset DISPLAY  # it draws on a console, and opens no window
source "$root/tools/wine-env.sh"

fail() {  # why
    echo "picture-test: $1" >&2
    exit 1
}

[ -f "$bin/cmdproc.exe" ] || fail "$bin/cmdproc.exe is missing; build first (tools/build.sh)"
wine_session || fail "no Wine session"
work="$(mktemp -d)"
wine_at_end "rm -rf $(printf %q "$work")"
cp "$root/tests/picture/screen.btm" "$work/"
wine_on_terminal "$work" "$work/out.txt" "$work/err.txt" "$bin/cmdproc.exe" screen.btm
rc=$?
# Anything on standard error is the program's own: the session's prefix
# names its graphics driver (tools/wine-env.sh).
[ $rc -eq 0 ] || fail "cmdproc.exe ended with exit code $rc"
if [ -s "$work/err.txt" ]; then
    cat "$work/err.txt" >&2
    fail "cmdproc.exe wrote the lines above to standard error"
fi
[ -f "$work/picture.svg" ] || fail "cmdproc.exe made no picture"
python3 "$root/tests/picture/check_picture.py" "$work/picture.svg"
