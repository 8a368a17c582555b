#!/bin/bash
# Runs a Windows program under Wine on a pseudo-terminal, so that it has a
# real console screen buffer, and passes its exit code on.  Standard output
# and error are captured in files (Wine's console needs the terminal itself)
# and printed afterwards.
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
# The prefix and the Wine binaries are chosen by wine-env.sh.
set -u
source "$(dirname "$0")/wine-env.sh"
wine_prepare_prefix

program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

wine_on_terminal "$(dirname "$program")" "$work/out" "$work/err" "$program" "$@"
rc=$?
# A display (from xvfb-run, say) may go away with this run; its server must
# not outlive it and be found by the next run.
[ -n "${DISPLAY:-}" ] && "$WINESERVER" -k 2>/dev/null
cat "$work/out"
cat "$work/err" >&2
exit $rc
