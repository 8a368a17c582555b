#!/bin/bash
# Runs a Windows program under Wine on a pseudo-terminal, so that it has a
# real console screen buffer, and passes its exit code on.  Standard output
# and error are captured in files (Wine's console needs the terminal itself)
# and printed afterwards.
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
# WINEPREFIX defaults to build/wineprefix in the source tree, or, with an X
# display, to build/wineprefix-x: a Wine server keeps the display it started
# with, so runs with and without one must not share a server.
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"
if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix-x}"
else
    export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix}"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
WINE="${WINE:-/usr/lib/wine/wine64}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver64}"
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The command line goes through a file of its own so that no argument needs
# quoting twice.
{
    printf 'cd %q || exit 97\n' "$(dirname "$program")"
    printf 'exec %q %q' "$WINE" "$program"
    printf ' %q' "$@"
    printf ' >%q 2>%q\n' "$work/out" "$work/err"
} > "$work/run.sh"

mkdir -p "$WINEPREFIX"
script -qec "bash $work/run.sh" /dev/null > "$work/tty" 2>&1 < /dev/null
rc=$?
# A display (from xvfb-run, say) may go away with this run; its server must
# not outlive it and be found by the next run.
[ -n "${DISPLAY:-}" ] && "$WINESERVER" -k 2>/dev/null
cat "$work/out"
cat "$work/err" >&2
exit $rc
