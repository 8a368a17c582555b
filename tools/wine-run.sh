#!/bin/bash
# Runs a Windows program under Wine on a pseudo-terminal, so that it has a
# real console screen buffer, with an X display (Xvfb's, when there is
# none) so that it can show windows, in a Wine session of its own
# (tools/wine-env.sh); passes its exit code on.  Standard output and error
# are captured in files (Wine's console needs the terminal itself) and
# printed afterwards.  CTest runs the Windows suites through it (the win
# trees' CMAKE_CROSSCOMPILING_EMULATOR).
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
set -u
source "$(dirname "$0")/wine-env.sh"
wine_display || exit 1
wine_session || exit 1

program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
work="$(mktemp -d)"
wine_at_end "rm -rf $(printf %q "$work")"

wine_on_terminal "$(dirname "$program")" "$work/out" "$work/err" "$program" "$@"
rc=$?
cat "$work/out"
cat "$work/err" >&2
exit $rc
