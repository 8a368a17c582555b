#!/bin/bash
# Runs demo/demo.btm in the stand-in command processor (cmdproc.exe) with the
# real CellAttr.dll under Wine, and prints what it wrote.  On a terminal, Wine
# draws the console screen on it, so the painted rows show in colour above
# the output; otherwise the console lives on a pseudo-terminal of its own, as
# in tools/wine-run.sh, and only the output is printed.  It runs in a Wine
# session of its own (tools/wine-env.sh).  The demo runs in
# build/demo, where its last command leaves a picture of the console window,
# screen.svg.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/wine-env.sh"
bin="$root/build/win/bin"

if [ ! -f "$bin/cmdproc.exe" ] || [ ! -f "$bin/CellAttr.dll" ]; then
    echo "demo: build/win/bin lacks cmdproc.exe or CellAttr.dll; run 'make demo'" >&2
    exit 1
fi

wine_session || exit 1

work="$(mktemp -d)"
wine_at_end "rm -rf $(printf %q "$work")"
demo="$root/build/demo"
mkdir -p "$demo"
rm -f "$demo/screen.svg"
# Standard output and error go to one file (so the error stays beside the
# line that caused it), leaving the console screen to the painted rows.
command=(cmdproc.exe /o "$(windows_path "$work/out")" /e "$(windows_path "$work/out")"
         "$(windows_path "$root/demo/demo.btm")")

if [ -t 0 ] && [ -t 1 ]; then
    (cd "$demo" && wine_bounded "${command[0]}" "$WINE" "$bin/${command[0]}" "${command[@]:1}")
    rc=$?
else
    wine_on_terminal "$demo" /dev/null /dev/null "$bin/${command[0]}" "${command[@]:1}"
    rc=$?
fi
[ -f "$work/out" ] && cat "$work/out"
if [ $rc -ne 0 ]; then
    echo "demo: cmdproc.exe ended with exit code $rc" >&2
elif [ -f "$demo/screen.svg" ]; then
    echo
    echo "demo: the console window as a picture: build/demo/screen.svg"
    echo "      (open it in a browser; hovering over a cell shows what @CELLATTR reads there)"
else
    echo "demo: no picture of the console window was made" >&2
    rc=1
fi
exit $rc
