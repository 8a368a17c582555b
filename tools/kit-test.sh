#!/bin/bash
# The test kit as users run it, run-tests.cmd under Wine's own cmd.exe on a
# pseudo-terminal (so there is a real console) and an X server (the help
# box), all in one Wine session.  Proves that the kit reports every test it
# ran, and only those, in ten checks, each described where it runs: the kit
# from an awkward folder by full path (1) and again on the console, with
# GTEST_COLOR=yes (2); doctored copies whose program lies (3, 4) or skips
# (6, 7); a folder with ";" (5); a console that refuses a larger buffer (8);
# inside a small pseudoconsole that refuses too (9); and pseudoconsole.exe
# at a prompt (10).  The run inside a pseudoconsole of the default size, as
# CI runs it on Windows, is the workflow's own (tools/workflow-dry-run.sh).
# A "%" in the folder name goes unchecked here: Wine's cmd.exe expands a
# "%" inside a value it has just expanded, which Windows' does not.
#
# Prints what the first run said, indented, then a summary in GoogleTest's
# words (that run's tests and each further check), which tools/test.sh
# counts.  Wine's console refuses nothing, so a skip in the first run is a
# failure.  Run tools/dist.sh first; arguments are ignored.
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

# Blanks, letters outside ASCII and the characters that cmd.exe treats
# specially: the kit must run from such a folder as from any other.
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

# The closing line of a run's output, as "PASSED FAILED SKIPPED"; nothing
# when the output does not end with "N passed, M failed" or "N passed, M
# failed, K skipped" (K above 0: the kit leaves out ", 0 skipped").  Console
# output comes with the terminal's control sequences, which are dropped
# first.
closing() {  # file
    sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1" | grep -v '^Script ' |
        grep -v '^$' | tail -1 |
        sed -n -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed$/\1 \2 0/p' \
            -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed, \([1-9][0-9]*\) skipped$/\1 \2 \3/p'
}

# The lines of a run's output that say how to run skipped tests.
hints() {  # file
    grep -c '^run-tests: this console refused what [0-9]* tests need' "$1" 2>/dev/null
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

# 1. By full path from another folder, output redirected: it must end
# "T passed, 0 failed" with exit code 0.
run_by_full_path "$kit"
rc=$?
sed 's/^/  /' "$work/out" 2>/dev/null
counts="$(closing "$work/out")"
cp "$work/out" "$work/out-first" 2>/dev/null
read -r kit_passed kit_failed kit_skipped <<<"${counts:-x x x}"
if [ -z "$counts" ]; then
    fail Kit.full_path "run-tests.cmd did not end with \"N passed, M failed\" (exit code $rc)"
elif [ "$kit_skipped" -ne 0 ]; then
    fail Kit.full_path "it ended \"$kit_passed passed, $kit_failed failed, $kit_skipped skipped\" with exit code $rc; Wine's console refuses nothing, so nothing may be skipped"
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
# its output on the console (recorded from the terminal by script(1)), and
# with GTEST_COLOR=yes, as a user may have it: the kit must count as before.
(cd "$kit" && GTEST_COLOR=yes script -qfec "$(printf '%q cmd.exe /c run-tests.cmd' "$WINE")" \
    "$work/console" </dev/null >/dev/null 2>&1)
rc=$?
counts="$(closing "$work/console")"
if [ "$counts" = "$total 0 0" ] && [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
else
    fail Kit.second_run_on_console "a second run on the console, with GTEST_COLOR=yes, ended \"${counts:-no closing line}\" with exit code $rc; wanted \"$total 0 0\", 0"
fi

# 3, 4, 6 and 7. Doctored kits: one suite's program is the impostor, which
# lies or skips as told, and the kit must count what it reports as it
# should.  Each kit is described by named fields:
#   check=NAME      the check's name in the summary
#   program=FILE    the program of stand-in-host that the impostor replaces
#   how=WORD        what the impostor does (tests/kit/impostor.cpp)
#   count="P passed, F failed, K skipped"
#                   what that program must add to the kit's closing line,
#                   which then reads "T+P passed, F failed, K skipped" (", 0
#                   skipped" left out), T being the tests that the other
#                   programs list
#   rc=N            the kit's exit code
#   broken=N        how many lines count the program as one failure
#   why=TEXT        what such a line must give as the reason (optional)
#   hints=N         how many lines say how to run skipped tests
doctored() {  # field=value...
    local -A f=()
    local field
    for field in "$@"; do
        case "${field%%=*}" in
        check | program | how | count | rc | broken | why | hints) f[${field%%=*}]="${field#*=}" ;;
        *) fail Kit.doctored "doctored: unknown field $field"; return ;;
        esac
    done
    local re='^([0-9]+) passed, ([0-9]+) failed(, ([0-9]+) skipped)?$'
    if [ -z "${f[check]:-}" ] || [ -z "${f[program]:-}" ] || [ -z "${f[how]:-}" ] ||
        [ -z "${f[rc]:-}" ] || [ -z "${f[broken]:-}" ] || [ -z "${f[hints]:-}" ] ||
        ! [[ "${f[count]:-}" =~ $re ]]; then
        fail "${f[check]:-Kit.doctored}" "doctored: a field is missing or malformed: $*"
        return
    fi
    local want="$((total - ${listed[${f[program]}]:-0} + BASH_REMATCH[1])) ${BASH_REMATCH[2]} ${BASH_REMATCH[4]:-0}"
    local folder="$work/doctored ${f[how]}"
    unpack "$folder" && cp "$impostor" "$folder/stand-in-host/${f[program]}" || {
        fail "${f[check]}" "cannot make the doctored kit"
        return
    }
    CELLATTR_IMPOSTOR="${f[how]}" run_by_full_path "$folder"
    local rc=$?
    local counts broken hints reason="** ${f[program]} counts as one failure: ${f[why]:-}."
    counts="$(closing "$work/out")"
    broken="$(grep -c "^\*\* ${f[program]} counts as one failure: " "$work/out" 2>/dev/null)"
    hints="$(hints "$work/out")"
    if [ "$counts" = "$want" ] && [ "$rc" -eq "${f[rc]}" ] && [ "$broken" = "${f[broken]}" ] &&
        [ "$hints" = "${f[hints]}" ] &&
        { [ -z "${f[why]:-}" ] || tr -d '\r' <"$work/out" | grep -qxF "$reason"; }; then
        passed=$((passed + 1))
    else
        sed 's/^/  /' "$work/out" 2>/dev/null
        fail "${f[check]}" "with a ${f[how]} ${f[program]}, the kit ended \"${counts:-no closing line}\" (as passed, failed, skipped) with exit code $rc, $broken lines counting ${f[program]} as failed and $hints on skipped tests; wanted \"$want\", ${f[rc]}, ${f[broken]}${f[why]:+ (${f[why]})} and ${f[hints]}"
    fi
}
doctored check=Kit.doctored_silent program=cellattr_e2e_tests.exe how=silent \
    count="0 passed, 1 failed" rc=1 broken=1 hints=0
doctored check=Kit.doctored_disagrees program=cellattr_plugin_tests.exe how=disagrees \
    count="0 passed, 1 failed" rc=1 broken=1 hints=0
# Three listed, two passed and one skipped: all accounted for.
doctored check=Kit.doctored_skips program=cellattr_detached_tests.exe how=skips \
    count="2 passed, 0 failed, 1 skipped" rc=0 broken=0 hints=1
# Three listed, one passed and one skipped: one not accounted for.
doctored check=Kit.doctored_skips_unaccounted program=cellattr_detached_tests.exe how=skips-short \
    count="0 passed, 1 failed" rc=1 broken=1 hints=0 \
    why="it reports 2 tests (1 passed, 0 failed, 1 skipped), but lists 3"

# 5. A folder that the platform refuses.
semi="$work/kit;semicolon"
if unpack "$semi"; then
    run_by_full_path "$semi"
    rc=$?
    if [ "$rc" -eq 1 ] && [ "$(wc -l <"$work/out")" -eq 2 ] &&
        grep -q '^run-tests: the kit.s folder name has a ";"' "$work/out" &&
        [ "$(closing "$work/out")" = "0 1 0" ]; then
        passed=$((passed + 1))
    else
        sed 's/^/  /' "$work/out" 2>/dev/null
        fail Kit.semicolon_refused "in a folder with \";\" the kit did not refuse at once in one line (exit code $rc)"
    fi
else
    fail Kit.semicolon_refused "cannot unpack into $semi"
fi

# Every test that the programs' JSON reports in FOLDER name, as "RESULT
# NAME", RESULT being SKIPPED, FAILED or PASSED; nothing, and a line on
# standard error, when a report cannot be read or one of the four programs
# wrote none.  A run asks for them with GTEST_OUTPUT="json:FOLDER\".
results_of() {  # folder
    python3 - "$1" <<'PYTHON'
import json, pathlib, re, sys
# Each program writes PROGRAM.json when it lists its tests, then, since that
# one is there, PROGRAM_1.json when it runs them: the last one is the run's.
last = {}
for path in pathlib.Path(sys.argv[1]).glob("*.json"):
    program, n = re.fullmatch(r"(.*?)(?:_(\d+))?", path.stem).groups()
    if int(n or 0) >= last.get(program, (-1, None))[0]:
        last[program] = (int(n or 0), path)
files = [path for n, path in last.values()]
lines = []
for path in files:
    for suite in json.loads(path.read_text(encoding="utf-8"))["testsuites"]:
        for test in suite["testsuite"]:
            result = test.get("result")
            if result not in ("COMPLETED", "SKIPPED"):
                sys.exit(f"{path.name}: {suite['name']}.{test['name']} did not run")
            state = "FAILED" if test.get("failures") else result.replace("COMPLETED", "PASSED")
            lines.append(f"{state} {suite['name']}.{test['name']}")
if len(files) != 4:
    sys.exit(f"reports from {len(files)} programs, not from each of the 4 test programs")
print("\n".join(lines))
PYTHON
}

# True when RESULTS (of results_of) hold COUNT tests, the skipped ones
# exactly SKIPPED (sorted, one a line) and all others passed.
results_are() {  # results, count, skipped
    local got
    got="$(sed -n 's/^SKIPPED //p' <<<"$1" | LC_ALL=C sort)"
    [ -n "$1" ] && [ "$(wc -l <<<"$1")" -eq "$2" ] && [ "$got" = "$3" ] &&
        [ "$(grep -vc '^PASSED ' <<<"$1")" -eq "$(grep -c . <<<"$3")" ]
}

# 8. A console that refuses: CELLATTR_TEST_CONSOLE_REFUSES=1 makes the tests'
# console check answer "refused" without asking, where they ask.  Exactly
# these must be skipped, the tests that need a buffer larger than the window
# with a window that moves, and the planted case that needs a window of a
# given size; every other test must pass.
want_skipped="EndToEnd.window
ScrolledConsole.ExtremePositionsAreOutOfRange
ScrolledConsole.RelativeToTheCursor
ScrolledConsole.RunStopsAtTheEndOfTheBuffer
ScrolledConsole.WindowLowerDownAndScrolledSideways"
refusing="$work/refusing"
reports="$work/reports"
if unpack "$refusing" && mkdir -p "$reports" &&
    cp "$root"/tests/kit/window.btm "$root"/tests/kit/window.out "$root"/tests/kit/window.err \
        "$refusing/e2e/"; then
    # Where the console allows the window, the planted case passes: its skip
    # below is then the refusal's doing.
    GTEST_FILTER=EndToEnd.window wine_on_terminal "$refusing/stand-in-host" "$work/planted" \
        "$work/planted.err" "$refusing/stand-in-host/cellattr_e2e_tests.exe"
    planted_rc=$?
    CELLATTR_TEST_CONSOLE_REFUSES=1 GTEST_OUTPUT="json:$(windows_path "$reports")\\" \
        run_by_full_path "$refusing"
    rc=$?
    counts="$(closing "$work/out")"
    n_skipped=$(wc -l <<<"$want_skipped")
    want="$((total + 1 - n_skipped)) 0 $n_skipped"
    results="$(results_of "$reports")"
    if grep -qxF '[  PASSED  ] 1 test.' <(tr -d '\r' <"$work/planted") && [ "$planted_rc" -eq 0 ] &&
        [ "$counts" = "$want" ] && [ "$rc" -eq 0 ] && [ "$(hints "$work/out")" = 1 ] &&
        results_are "$results" $((total + 1)) "$want_skipped"; then
        passed=$((passed + 1))
    else
        sed 's/^/  /' "$work/planted" "$work/out" 2>/dev/null
        fail Kit.console_refuses "with the console check refusing, the kit ended \"${counts:-no closing line}\" with exit code $rc (wanted \"$want\", 0, and one line on running skipped tests); skipped: $(sed -n 's/^SKIPPED //p' <<<"$results" | xargs), wanted: $(echo $want_skipped); the planted case alone, where the console allows it, exit code $planted_rc"
    fi
else
    fail Kit.console_refuses "cannot make the copy with the planted case"
fi

# 9. Inside a pseudoconsole of 60 x 15 cells, a small Windows Terminal pane,
# that refuses as in 8: the test that needs 1024 cells from the window's top
# is skipped too, and each skip says what was refused and what the console
# has.  pseudoconsole.exe must pass its command's exit code on, and the
# first line of this run and of the first must name the console.
pseudoconsole="$kit/stand-in-host/pseudoconsole.exe"
want_small_skipped="RealConsole.NeverWritesPastTheHostsBuffer
ScrolledConsole.ExtremePositionsAreOutOfRange
ScrolledConsole.RelativeToTheCursor
ScrolledConsole.RunStopsAtTheEndOfTheBuffer
ScrolledConsole.WindowLowerDownAndScrolledSideways"
small_reports="$work/small-reports"
mkdir -p "$small_reports"
printf '@echo off\r\n"%%KIT%%\\stand-in-host\\pseudoconsole.exe" /size 60x15 cmd /s /c ""%%%%KIT%%%%\\run-tests.cmd" >"%%%%OUT%%%%" 2>&1" >"%%SCREEN%%"\r\n' \
    >"$elsewhere/pseudoconsole.cmd"
rm -f "$work/out"
CELLATTR_TEST_CONSOLE_REFUSES=1 GTEST_OUTPUT="json:$(windows_path "$small_reports")\\" \
    KIT="$(windows_path "$kit")" OUT="$(windows_path "$work/out")" SCREEN="$(windows_path "$work/screen")" \
    wine_on_terminal "$elsewhere" /dev/null "$work/err" cmd.exe /c pseudoconsole.cmd
rc=$?
counts="$(closing "$work/out")"
n_skipped=$(wc -l <<<"$want_small_skipped")
want="$((total - n_skipped)) 0 $n_skipped"
results="$(results_of "$small_reports")"
# Each skipped test must say, in a line that starts with its name, what was
# refused and that the console has 60 x 15 cells.
reasons=0
while IFS= read -r name; do
    tr -d '\r' <"$work/out" 2>/dev/null |
        grep -qx "$name: the console refused .*; it has a 60 x 15 screen buffer with its window of 60 x 15 at column 0, row 0" &&
        reasons=$((reasons + 1))
done <<<"$want_small_skipped"
wine_on_terminal "$elsewhere" /dev/null "$work/err" "$pseudoconsole" cmd /c exit 3
passed_on=$?
named() {  # file: its first line names the console
    head -1 "$1" 2>/dev/null | tr -d '\r' | grep -q '^run-tests: running in a ' &&
        ! head -1 "$1" | grep -q 'could not name'
}
if [ "$counts" = "$want" ] && [ "$rc" -eq 0 ] && [ "$reasons" -eq "$n_skipped" ] &&
    results_are "$results" "$total" "$want_small_skipped" && [ "$passed_on" -eq 3 ] &&
    named "$work/out" && named "$work/out-first"; then
    passed=$((passed + 1))
else
    sed 's/^/  /' "$work/out" 2>/dev/null
    fail Kit.small_pseudoconsole "in a 60 x 15 pseudoconsole that refuses, the kit ended \"${counts:-no closing line}\" with exit code $rc and $reasons of its skipped tests saying, by name, what was refused of a 60 x 15 console (wanted \"$want\", 0, $n_skipped, and a first line naming the console, as in the first run: \"$(head -1 "$work/out-first" | tr -d '\r')\"); skipped: $(sed -n 's/^SKIPPED //p' <<<"$results" | xargs), wanted: $(echo $want_small_skipped); cmd /c exit 3 in it ended with $passed_on"
fi

# 10. pseudoconsole.exe at a prompt, its output the console: one line must
# say how to keep what the pseudoconsole draws, and none of that may reach
# the console (on Windows it would be the start-up sequences of a
# terminal's session, and garbage).  Wine's pseudoconsole (8 and 10) sends
# nothing down its pipe, so there only the line tells the old behaviour
# apart.
# The carets keep the drawn text out of the command line, which script(1)
# records too; the console wraps lines at its width, so they are joined.
# The program is named from its own folder: sh, which runs script's
# command, cannot read every quoting of the kit's awkward path.
(cd "$kit/stand-in-host" && script -qfec \
    "$(printf '%q pseudoconsole.exe cmd /c echo drawn^-in^-the^-pseudoconsole' "$WINE")" \
    "$work/prompt" </dev/null >/dev/null 2>&1)
rc=$?
seen="$(sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/prompt" 2>/dev/null | tr -d '\r\n')"
if [ "$rc" -eq 0 ] && [[ "$seen" != *drawn-in-the-pseudoconsole* ]] &&
    [[ "$seen" == *"pseudoconsole: what the pseudoconsole draws is not shown on a console; to keep it, redirect it: pseudoconsole ... > screen.txt"* ]]; then
    passed=$((passed + 1))
else
    sed 's/^/  /' "$work/prompt" 2>/dev/null
    fail Kit.pseudoconsole_at_a_prompt "pseudoconsole.exe at a prompt ended with $rc, and what is above reached the console; wanted 0, nothing that the pseudoconsole drew, and the line on redirecting it"
fi

finish
