#!/bin/bash
# The test kit as a user runs it: dist/CellAttr-<version>-win-x64-tests.zip
# unpacked into a folder whose name has blanks, and run-tests.cmd started by
# Wine's own cmd.exe on a pseudo-terminal (so there is a real console), under
# an X server for the help box.  Its closing line must read "N passed, 0
# failed" and its exit code be 0.  Prints what the kit said, indented, then
# a summary in GoogleTest's words, which tools/test.sh counts; arguments are
# ignored.
# Run tools/dist.sh first.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi
source "$root/tools/wine-env.sh"

fail() {  # why
    echo "kit-test: $1" >&2
    echo "[  FAILED  ] 1 test, listed below:"
    echo "[  FAILED  ] Kit.run_tests_cmd"
    exit 1
}

kit_zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
[ -n "$kit_zip" ] || fail "no test kit in dist/; run tools/dist.sh first"
wine_prepare_prefix

work="$(mktemp -d)"
trap 'rm -rf "$work"; "$WINESERVER" -k 2>/dev/null' EXIT
folder="$work/CellAttr test kit"
python3 -m zipfile -e "$kit_zip" "$folder" || fail "cannot unpack $kit_zip"
wine_on_terminal "$folder" "$work/out" "$work/err" \
    cmd.exe /c "$(windows_path "$folder")\\run-tests.cmd"
rc=$?
# Indented, so that only the summary below is counted as this suite's.
cat "$work/out" "$work/err" | sed 's/^/  /'

last="$(tr -d '\r' < "$work/out" | tail -1)"
if [[ ! "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    fail "run-tests.cmd did not end with \"N passed, M failed\" (exit code $rc)"
fi
passed="${BASH_REMATCH[1]}"
failed="${BASH_REMATCH[2]}"
if [ "$failed" -eq 0 ] && [ "$rc" -ne 0 ]; then
    fail "run-tests.cmd reported no failure but exited with $rc"
fi
if [ "$failed" -ne 0 ] && [ "$rc" -eq 0 ]; then
    fail "run-tests.cmd reported $failed failed but exited with 0"
fi
echo "[  PASSED  ] $passed tests."
if [ "$failed" -ne 0 ]; then
    echo "[  FAILED  ] $failed tests, listed below:"
    echo "[  FAILED  ] Kit.run_tests_cmd"
    exit 1
fi
