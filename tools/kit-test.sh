#!/bin/bash
# The test kit as users run it, run-tests.cmd under Wine's own cmd.exe on a
# pseudo-terminal (so there is a real console) and an X server (the help
# box), all in one Wine session.  Proves that the kit reports every test it
# ran, and only those:
#   1. unpacked into a folder whose name has blanks, letters outside ASCII
#      and & ( ) ! ^ ' + = , [ ] { } ~, and started by its full path from
#      another folder, its output redirected to a file: it must end
#      "T passed, 0 failed" with exit code 0, where T is the sum of the tests
#      that its programs list;
#   2. at once again, from its own folder, its output on the console: the
#      same;
#   3. doctored, a program replaced by one that prints nothing and exits 0;
#   4. doctored, a program replaced by one whose summary disagrees with its
#      list: each must end with that suite counted as one failure, the other
#      suites' tests passed, and exit code 1;
#   5. in a folder whose name has ";", from which Windows cannot load the
#      programs' DLLs: it must say so in one line, run nothing and exit 1.
# A "%" in the folder name goes unchecked here: Wine's cmd.exe expands a
# "%" inside a value it has just expanded, which Windows' does not.
#
# Prints what the first run said, indented, then a summary in GoogleTest's
# words (that run's tests and each further check), which tools/test.sh
# counts.  Run tools/dist.sh first; arguments are ignored.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi
# A prefix of its own: the server it keeps for all its runs is then no other
# script's, and no other script ends it halfway.
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix-kit}"
source "$root/tools/wine-env.sh"
source "$root/tools/gtest-summary.sh"

# What is reported: the first run's tests, as it counted them, and one test
# for each further check.
passed=0
failed=0
failures=()  # the names of what failed

fail() {  # name, why: a check failed
    echo "kit-test: $2" >&2
    failures+=("$1")
    failed=$((failed + 1))
}

finish() {
    gtest_report "$passed" "$failed" "${failures[@]}"
    [ "$failed" -eq 0 ]
    exit
}

kit_zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
impostor="$root/build/win/bin/kit_impostor.exe"
if [ -z "$kit_zip" ] || [ ! -f "$impostor" ]; then
    fail Kit.prepared "no test kit in dist/ or no $impostor; run tools/build.sh and tools/dist.sh first"
    finish
fi

work="$(mktemp -d)"
# A Wine server keeps the X display it started with.  One left from another
# display would fail the help box (and hold the logs of the programs that
# try to show it): end it, then keep one server, on this display, for every
# run below.
"$WINESERVER" -k 2>/dev/null
wine_prepare_prefix
"$WINESERVER" -p
trap 'rm -rf "$work"; "$WINESERVER" -k 2>/dev/null' EXIT

unpack() {  # folder
    python3 -m zipfile -e "$kit_zip" "$1"
}

name="CellAttr kit & (x) !^'+=,[]{}~ été"
kit="$work/$name"
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere"
if ! unpack "$kit"; then
    fail Kit.prepared "cannot unpack $kit_zip"
    finish
fi

# T: the tests that the kit's programs list, each run on its own.
total=0
declare -A listed
for program in "$kit"/stand-in-host/cellattr_*tests.exe; do
    "$WINE" "$program" --gtest_list_tests >"$work/list" 2>&1 </dev/null
    n="$(gtest_listed "$work/list")"
    listed[$(basename "$program")]=$n
    if [ "$n" -eq 0 ]; then
        cat "$work/list" >&2
        fail Kit.listed "$(basename "$program") lists no tests"
    fi
    total=$((total + n))
done
echo "kit-test: the kit's programs list $total tests"

# The closing line of a run's output, as "PASSED FAILED"; nothing when the
# output does not end with "N passed, M failed".  Console output comes with
# the terminal's control sequences, which are dropped first.
closing() {  # file
    sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1" | grep -v '^Script ' |
        grep -v '^$' | tail -1 | sed -n 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed$/\1 \2/p'
}

# Runs the kit in FOLDER through a batch file of its own in ELSEWHERE, as
# a user types it there: the kit's full path in quotes, its output into a
# file.  The paths reach cmd.exe through the environment, so that no shell
# quotes them.  Leaves the output in $work/out and returns the exit code.
run_by_full_path() {  # folder
    printf '@echo off\r\n"%%KIT%%\\run-tests.cmd" >"%%OUT%%" 2>&1\r\n' >"$elsewhere/run.cmd"
    rm -f "$work/out"
    KIT="$(windows_path "$1")" OUT="$(windows_path "$work/out")" \
        wine_on_terminal "$elsewhere" /dev/null "$work/err" cmd.exe /c run.cmd
}

# 1. By full path from another folder, output redirected.
run_by_full_path "$kit"
rc=$?
sed 's/^/  /' "$work/out" 2>/dev/null
counts="$(closing "$work/out")"
read -r kit_passed kit_failed <<<"${counts:-x x}"
if [ -z "$counts" ]; then
    fail Kit.full_path "run-tests.cmd did not end with \"N passed, M failed\" (exit code $rc)"
elif [ "$kit_failed" -eq 0 ] && [ "$rc" -eq 0 ] && [ "$kit_passed" -eq "$total" ]; then
    passed=$((passed + kit_passed))
elif [ "$kit_failed" -gt 0 ] && [ "$rc" -eq 1 ] && [ $((kit_passed + kit_failed)) -eq "$total" ]; then
    # Tests failed, and the kit said so: they count as they were reported.
    passed=$((passed + kit_passed))
    failed=$((failed + kit_failed))
    failures+=("Kit.full_path: $kit_failed failed, above")
else
    fail Kit.full_path "it ended \"$kit_passed passed, $kit_failed failed\" with exit code $rc, which does not account for the $total tests listed"
fi

# 2. Again at once, in the same Wine session, from the kit's own folder with
# its output on the console (recorded from the terminal by script(1)).
(cd "$kit" && script -qfec "$(printf '%q cmd.exe /c run-tests.cmd' "$WINE")" "$work/console" \
    </dev/null >/dev/null 2>&1)
rc=$?
counts="$(closing "$work/console")"
if [ "$counts" = "$total 0" ] && [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
else
    fail Kit.second_run_on_console "a second run on the console ended \"${counts:-no closing line}\" with exit code $rc; wanted \"$total 0\", 0"
fi

# 3 and 4. Doctored kits: one suite's program lies; the kit must count that
# suite as one failure and nothing of it as passed.
doctored() {  # check-name, program, how
    local folder="$work/doctored $3" want_passed=$((total - ${listed[$2]:-0}))
    unpack "$folder" && cp "$impostor" "$folder/stand-in-host/$2" || {
        fail "$1" "cannot make the doctored kit"
        return
    }
    CELLATTR_IMPOSTOR="$3" run_by_full_path "$folder"
    local rc=$?
    local counts line
    counts="$(closing "$work/out")"
    line="$(grep -c "^\*\* $2 counts as one failure: " "$work/out" 2>/dev/null)"
    if [ "$counts" = "$want_passed 1" ] && [ "$rc" -eq 1 ] && [ "$line" = 1 ]; then
        passed=$((passed + 1))
    else
        sed 's/^/  /' "$work/out" 2>/dev/null
        fail "$1" "with a $3 $2, the kit ended \"${counts:-no closing line}\" with exit code $rc; wanted \"$want_passed 1\", 1, and one line counting $2 as failed"
    fi
}
doctored Kit.doctored_silent cellattr_e2e_tests.exe silent
doctored Kit.doctored_disagrees cellattr_plugin_tests.exe disagrees

# 5. A folder that the platform refuses.
semi="$work/kit;semicolon"
if unpack "$semi"; then
    run_by_full_path "$semi"
    rc=$?
    if [ "$rc" -eq 1 ] && [ "$(wc -l <"$work/out")" -eq 2 ] &&
        grep -q '^run-tests: the kit.s folder name has a ";"' "$work/out" &&
        [ "$(closing "$work/out")" = "0 1" ]; then
        passed=$((passed + 1))
    else
        sed 's/^/  /' "$work/out" 2>/dev/null
        fail Kit.semicolon_refused "in a folder with \";\" the kit did not refuse at once in one line (exit code $rc)"
    fi
else
    fail Kit.semicolon_refused "cannot unpack into $semi"
fi

finish
