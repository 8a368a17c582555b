#!/bin/bash
# Runs a Windows program under Wine on a pseudo-terminal, so that it has a
# real console screen buffer, and with an X display (xvfb-run's, when there
# is none), so that it can show windows; passes its exit code on.  Standard
# output and error are captured in files (Wine's console needs the terminal
# itself) and printed afterwards.  CTest runs the Windows suites through it
# (the win tree's CMAKE_CROSSCOMPILING_EMULATOR).
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
# The prefix and the Wine binaries are chosen by wine-env.sh.
set -u
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi
source "$(dirname "$0")/wine-env.sh"
# A server left from another display would keep that display: end it first.
"$WINESERVER" -k 2>/dev/null
wine_prepare_prefix

program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

wine_on_terminal "$(dirname "$program")" "$work/out" "$work/err" "$program" "$@"
rc=$?
# The display (from xvfb-run, say) may go away with this run; its server
# must not outlive it and be found by the next run.
"$WINESERVER" -k 2>/dev/null
cat "$work/out"
cat "$work/err" >&2
exit $rc
