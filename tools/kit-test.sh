#!/bin/bash
# The test kit as users run it, run-tests.cmd under Wine's own cmd.exe on a
# pseudo-terminal (so there is a real console) and an X server (the help
# box), all in one Wine session.  Proves that the kit reports every test it
# ran, and only those, in sixteen checks, each described where it runs:
#   1  by full path from another folder, into a file, from an awkward folder
#   2  started as Explorer starts a double-clicked batch file, on the
#      console, with GoogleTest's settings and cmd's dynamic names set
#   3-7  doctored copies whose program lies, skips or crashes
#   8  a planted program, and a real one, that never end
#   9  measure-cost.cmd with a program that crashes
#   10 a folder with ";"   11 run-tests.cmd alone in a folder
#   12 a console that refuses, and a native space table that differs
#   13 inside a small pseudoconsole that refuses too
#   14 pseudoconsole.exe at a prompt
#   15 another program's help box open, and a window stealing the front
#   16 two runs at once
# The run inside a pseudoconsole of the default size, as CI runs it on
# Windows, is the workflow's own (tools/workflow-dry-run.sh).  A "%" in the
# folder name goes unchecked here: Wine's cmd.exe expands a "%" inside a
# value it has just expanded, which Windows' does not.
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

fail() {  # name, why (one line, short: details go above it, indented)
    echo "kit-test: $1: $2" >&2
    failures+=("$1")
    failed=$((failed + 1))
}

finish() {
    gtest_report "$passed" "$failed" "${failures[@]}"
    [ "$failed" -eq 0 ]
    exit
}

show() {  # files...: what a run wrote, indented
    sed 's/^/  /' "$@" 2>/dev/null
}

kit_zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
impostor="$root/build/win/bin/kit_impostor.exe"
if [ -z "$kit_zip" ] || [ ! -f "$impostor" ]; then
    fail Kit.prepared "no kit in dist/, or no build/win/bin/kit_impostor.exe: run tools/build.sh, tools/dist.sh"
    finish
fi

work="$(mktemp -d)"
background=()  # Wine programs started beside the kit, ended on the way out
# A Wine server keeps the X display it started with.  One left from another
# display would fail the help box (and hold the logs of the programs that
# try to show it): end it, then keep one server, on this display, for every
# run below.
"$WINESERVER" -k 2>/dev/null
wine_prepare_prefix
"$WINESERVER" -p
trap 'kill "${background[@]}" 2>/dev/null; rm -rf "$work"; "$WINESERVER" -k 2>/dev/null' EXIT

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

# Output without the terminal's control sequences and carriage returns.
plain() {  # file
    sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1" 2>/dev/null
}

# The closing line of a run's output, as "PASSED FAILED SKIPPED"; nothing
# when the output does not end with "N passed, M failed" or "N passed, M
# failed, K skipped" (K above 0: the kit leaves out ", 0 skipped"), the line
# that asks for a key after a double-click aside.
closing() {  # file
    plain "$1" | grep -v '^Script ' | grep -v '^run-tests: press a key' | grep -v '^$' | tail -1 |
        sed -n -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed$/\1 \2 0/p' \
            -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed, \([1-9][0-9]*\) skipped$/\1 \2 \3/p'
}

# One line on how a check's run ended, passing or not: the last lines it
# wrote (the closing line, and what follows it) and its exit code.
saw() {  # check, file, exit code, [lines: 1]
    local last
    last="$(plain "$2" | grep -v '^Script ' | grep -v '^$' | tail -n "${4:-1}" | paste -sd'|' -)"
    echo "kit-test: $1: ended \"${last:-nothing}\", exit code $3"
}

count_lines() {  # file, pattern: how many lines match it
    plain "$1" | grep -c "$2"
}

# The lines of a run's output that say how to run skipped tests.
hints() {  # file
    count_lines "$1" '^run-tests: this console refused what [0-9]* tests need'
}

# Runs the kit in FOLDER through a batch file of its own in ELSEWHERE, as
# a user types it there: the kit's full path in quotes, its output into
# OUT (default $work/out).  The paths reach cmd.exe through the
# environment, so that no shell quotes them.  Returns the exit code.
printf '@echo off\r\n"%%KIT%%\\run-tests.cmd" >"%%OUT%%" 2>&1\r\n' >"$elsewhere/run.cmd"
run_by_full_path() {  # folder [out]
    local out="${2:-$work/out}"
    rm -f "$out"
    KIT="$(windows_path "$1")" OUT="$(windows_path "$out")" \
        wine_on_terminal "$elsewhere" /dev/null "$work/err" cmd.exe /c run.cmd
}

# 1. By full path from another folder, output redirected: it must end
# "T passed, 0 failed" with exit code 0, wait for no key, and find the
# native space table as Wine's classification (no "finding:" line).
run_by_full_path "$kit"
rc=$?
show "$work/out"
saw Kit.full_path "$work/out" "$rc"
counts="$(closing "$work/out")"
cp "$work/out" "$work/out-first" 2>/dev/null
read -r kit_passed kit_failed kit_skipped <<<"${counts:-x x x}"
if [ -z "$counts" ]; then
    fail Kit.full_path "run-tests.cmd did not end with \"N passed, M failed\" (exit code $rc)"
elif [ "$kit_skipped" -ne 0 ]; then
    fail Kit.full_path "$kit_skipped skipped, with exit code $rc; Wine's console refuses nothing"
elif [ "$(count_lines "$work/out" '^finding: \|^run-tests: press a key')" -ne 0 ]; then
    fail Kit.full_path "a finding on the space table, or a wait for a key, above"
elif [ "$kit_failed" -eq 0 ] && [ "$rc" -eq 0 ] && [ "$kit_passed" -eq "$total" ]; then
    passed=$((passed + kit_passed))
elif [ "$kit_failed" -gt 0 ] && [ "$rc" -eq 1 ] && [ $((kit_passed + kit_failed)) -eq "$total" ]; then
    # Tests failed, and the kit said so: they count as they were reported.
    passed=$((passed + kit_passed))
    failed=$((failed + kit_failed))
    failures+=("Kit.full_path: $kit_failed failed, above")
else
    fail Kit.full_path "\"$kit_passed passed, $kit_failed failed\", exit code $rc: not the $total listed"
fi

# Waits up to SECONDS for a line matching PATTERN in FILE.
await_line() {  # file, pattern, seconds
    local i
    for ((i = 0; i < $3 * 4; i++)); do
        [ "$(count_lines "$1" "$2")" -gt 0 ] && return 0
        sleep 0.25
    done
    return 1
}

# 2. As Explorer starts a double-clicked batch file: cmd.exe /c ""PATH" ",
# the command line given to CreateProcess as written (the impostor's
# launch), the output on the console (recorded from the terminal by
# script(1)).  Wine's cmd.exe has no dynamic %cmdcmdline%: CMDCMDLINE in
# the environment stands in for it.  And with GoogleTest's settings, cmd's
# dynamic names and GTEST_COLOR=yes in the environment, as a user may have
# them: the kit must count as without them, wait for a key at its end (it
# is still waiting three seconds later), and then end.
explorer_line="C:\\windows\\system32\\cmd.exe /c \"\"$(windows_path "$kit")\\run-tests.cmd\" \""
mkfifo "$work/keys"
(cd "$elsewhere" && CELLATTR_IMPOSTOR=launch CELLATTR_IMPOSTOR_COMMAND="$explorer_line" \
    CMDCMDLINE="$explorer_line" GTEST_COLOR=yes GTEST_FILTER='*Format*' GTEST_REPEAT=2 \
    GTEST_SHUFFLE=1 GTEST_TOTAL_SHARDS=3 GTEST_SHARD_INDEX=1 GTEST_FAIL_FAST=1 GTEST_BRIEF=0 \
    GTEST_OUTPUT='xml:Q:\nowhere\' TESTBRIDGE_TEST_ONLY='*Format*' ERRORLEVEL=0 RANDOM=7 \
    CD='Q:\nowhere' script -qfec "$(printf '%q %q' "$WINE" "$impostor")" "$work/console" \
    <"$work/keys" >/dev/null 2>&1) &
launched=$!
exec 8>"$work/keys"
waited=no
if await_line "$work/console" '^run-tests: press a key to close this window' 300; then
    sleep 3
    kill -0 "$launched" 2>/dev/null && waited=yes
fi
printf 'x' >&8
for ((i = 0; i < 60; i++)); do kill -0 "$launched" 2>/dev/null || break; sleep 0.5; done
kill "$launched" 2>/dev/null
wait "$launched"
rc=$?
exec 8>&-
saw Kit.explorer_start "$work/console" "$rc" 2
counts="$(closing "$work/console")"
if [ "$counts" = "$total 0 0" ] && [ "$rc" -eq 0 ] && [ "$waited" = yes ]; then
    passed=$((passed + 1))
else
    show "$work/console"
    fail Kit.explorer_start "ended \"${counts:-no closing line}\", exit code $rc, waited for a key: $waited"
fi

# 3 to 7. Doctored kits: one suite's program is the impostor, which lies,
# skips or crashes as told, and the kit must count what it reports as it
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
#   env="A=1 B=2"   set for the run besides (optional; no blanks in values)
doctored() {  # field=value...
    local -A f=()
    local field
    for field in "$@"; do
        case "${field%%=*}" in
        check | program | how | count | rc | broken | why | hints | env) f[${field%%=*}]="${field#*=}" ;;
        *) fail Kit.doctored "unknown field $field"; return ;;
        esac
    done
    local re='^([0-9]+) passed, ([0-9]+) failed(, ([0-9]+) skipped)?$'
    if [ -z "${f[check]:-}" ] || [ -z "${f[program]:-}" ] || [ -z "${f[how]:-}" ] ||
        [ -z "${f[rc]:-}" ] || [ -z "${f[broken]:-}" ] || [ -z "${f[hints]:-}" ] ||
        ! [[ "${f[count]:-}" =~ $re ]]; then
        echo "  doctored $*"
        fail "${f[check]:-Kit.doctored}" "a field of the call above is missing or malformed"
        return
    fi
    local want="$((total - ${listed[${f[program]}]:-0} + BASH_REMATCH[1])) ${BASH_REMATCH[2]} ${BASH_REMATCH[4]:-0}"
    local folder="$work/doctored ${f[how]}"
    unpack "$folder" && cp "$impostor" "$folder/stand-in-host/${f[program]}" || {
        fail "${f[check]}" "cannot make the doctored kit"
        return
    }
    local -a env=()
    read -r -a env <<<"${f[env]:-}"
    (
        for variable in "${env[@]}"; do export "$variable"; done
        CELLATTR_IMPOSTOR="${f[how]}" run_by_full_path "$folder"
    )
    local rc=$?
    saw "${f[check]}" "$work/out" "$rc"
    local counts broken hints reason="** ${f[program]} counts as one failure: ${f[why]:-}."
    counts="$(closing "$work/out")"
    broken="$(count_lines "$work/out" "^\*\* ${f[program]} counts as one failure: ")"
    hints="$(hints "$work/out")"
    if [ "$counts" = "$want" ] && [ "$rc" -eq "${f[rc]}" ] && [ "$broken" = "${f[broken]}" ] &&
        [ "$hints" = "${f[hints]}" ] &&
        { [ -z "${f[why]:-}" ] || plain "$work/out" | grep -qxF "$reason"; }; then
        passed=$((passed + 1))
    else
        show "$work/out"
        echo "  wanted \"$want\" (passed, failed, skipped), exit code ${f[rc]}, ${f[broken]} such lines${f[why]:+ ($reason)}, ${f[hints]} hints"
        fail "${f[check]}" "with a ${f[how]} ${f[program]}: \"${counts:-no closing line}\", exit code $rc, $broken such lines, $hints hints"
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
# A passing summary, then a crash's exit code, with ERRORLEVEL=0 in the
# environment, where %errorlevel% would read the variable and not the code.
doctored check=Kit.doctored_crashes program=cellattr_detached_tests.exe how=crashes \
    count="0 passed, 1 failed" rc=1 broken=1 hints=0 env="ERRORLEVEL=0" \
    why="it ended with exit code -1073741819 (0xC0000005, an access violation), though it reports no failure"

# 8. Programs that never end, with the time limit cut to 25 s: the impostor
# as the end to end program, after its passing summary, and the real
# program without a console, in its one test (CELLATTR_TEST_HANG).  Each
# must be ended and count as one failure, its line naming where it was.
hangs="$work/doctored hangs"
if unpack "$hangs" && cp "$impostor" "$hangs/stand-in-host/cellattr_e2e_tests.exe"; then
    CELLATTR_IMPOSTOR=hangs CELLATTR_TEST_HANG=Detached.OpeningTheConsoleFails \
        CELLATTR_TEST_TIME_LIMIT=25 run_by_full_path "$hangs"
    rc=$?
    saw Kit.never_ending "$work/out" "$rc"
    want="$((total - listed[cellattr_e2e_tests.exe] - listed[cellattr_detached_tests.exe])) 2 0"
    counts="$(closing "$work/out")"
    ended="** cellattr_detached_tests.exe counts as one failure: it did not end within 25 s, and was ended while running Detached.OpeningTheConsoleFails.
** cellattr_e2e_tests.exe counts as one failure: it did not end within 25 s, and was ended between tests, none of them running."
    if [ "$counts" = "$want" ] && [ "$rc" -eq 1 ] &&
        [ "$(plain "$work/out" | grep '^\*\* ')" = "$ended" ]; then
        passed=$((passed + 1))
    else
        show "$work/out"
        echo "  wanted \"$want\" (passed, failed, skipped), exit code 1, and these lines:"
        echo "$ended" | sed 's/^/  /'
        fail Kit.never_ending "\"${counts:-no closing line}\", exit code $rc, not as wanted"
    fi
else
    fail Kit.never_ending "cannot make the doctored kit"
fi

# 9. measure-cost.cmd with a console_cost.exe that crashes, ERRORLEVEL=0 in
# the environment: exit code 1, and the code in a form a person can read.
cost="$work/doctored cost"
printf '@echo off\r\n"%%KIT%%\\measure-cost.cmd" >"%%OUT%%" 2>&1\r\n' >"$elsewhere/cost.cmd"
if unpack "$cost" && cp "$impostor" "$cost/stand-in-host/console_cost.exe"; then
    rm -f "$work/out"
    ERRORLEVEL=0 CELLATTR_IMPOSTOR=crashes KIT="$(windows_path "$cost")" \
        OUT="$(windows_path "$work/out")" wine_on_terminal "$elsewhere" /dev/null "$work/err" \
        cmd.exe /c cost.cmd
    rc=$?
    saw Kit.measure_cost_crash "$work/out" "$rc"
    said="measure-cost: console_cost.exe ended with exit code -1073741819 (0xC0000005, an access violation)"
    if [ "$rc" -eq 1 ] && [ "$(plain "$work/out")" = "$said" ]; then
        passed=$((passed + 1))
    else
        show "$work/out"
        echo "  wanted exit code 1 and \"$said\""
        fail Kit.measure_cost_crash "exit code $rc and the output above, not as wanted"
    fi
else
    fail Kit.measure_cost_crash "cannot make the doctored kit"
fi

# 10. A folder that the platform refuses.
semi="$work/kit;semicolon"
if unpack "$semi"; then
    run_by_full_path "$semi"
    rc=$?
    saw Kit.semicolon_refused "$work/out" "$rc"
    if [ "$rc" -eq 1 ] && [ "$(wc -l <"$work/out")" -eq 2 ] &&
        grep -q '^run-tests: the kit.s folder name has a ";"' "$work/out" &&
        [ "$(closing "$work/out")" = "0 1 0" ]; then
        passed=$((passed + 1))
    else
        show "$work/out"
        fail Kit.semicolon_refused "in a folder with \";\" it did not refuse at once in one line (exit code $rc)"
    fi
else
    fail Kit.semicolon_refused "cannot unpack into $semi"
fi

# 11. run-tests.cmd alone in a folder, as Explorer extracts it from the zip
# when it is double-clicked there: one line, to unpack the whole zip, and
# exit code 1.
alone="$work/alone"
mkdir -p "$alone" && cp "$kit/run-tests.cmd" "$alone/"
run_by_full_path "$alone"
rc=$?
saw Kit.alone_in_a_folder "$work/out" "$rc"
if [ "$rc" -eq 1 ] && [ "$(plain "$work/out" | wc -l)" -eq 1 ] &&
    plain "$work/out" | grep -q '^run-tests: there is no stand-in-host folder beside run-tests.cmd.*unpack the whole zip'; then
    passed=$((passed + 1))
else
    show "$work/out"
    fail Kit.alone_in_a_folder "alone in a folder it said the above, exit code $rc; wanted one line, 1"
fi

# Every test that the programs' JSON reports in FOLDER name, as "RESULT
# NAME", RESULT being SKIPPED, FAILED or PASSED; nothing, and a line on
# standard error, when a report cannot be read or one of the four programs
# wrote none.  A run asks for them with CELLATTR_TEST_GTEST_OUTPUT set to
# "json:FOLDER\", which the kit hands to GoogleTest as GTEST_OUTPUT.
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

# 12. A console that refuses: CELLATTR_TEST_CONSOLE_REFUSES=1 makes the tests'
# console check answer "refused" without asking, where they ask.  Exactly
# these must be skipped, the tests that need a buffer larger than the window
# with a window that moves, and the planted case that needs a window of a
# given size; every other test must pass.  And a native space table that
# differs from the system at U+2028 (CELLATTR_TEST_SPACE_TABLE_DIFFERS):
# the plugin's own rule holds, so nothing fails, and one line tells it.
want_skipped="EndToEnd.window
ScrolledConsole.ExtremePositionsAreOutOfRange
ScrolledConsole.RelativeToTheCursor
ScrolledConsole.RunStopsAtTheEndOfTheBuffer
ScrolledConsole.WindowLowerDownAndScrolledSideways"
finding="finding: U+2028: the native space table says not space; this Windows says space (iswspace), space (GetStringTypeW)"
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
    CELLATTR_TEST_CONSOLE_REFUSES=1 CELLATTR_TEST_SPACE_TABLE_DIFFERS=2028 \
        CELLATTR_TEST_GTEST_OUTPUT="json:$(windows_path "$reports")\\" run_by_full_path "$refusing"
    rc=$?
    saw Kit.console_refuses "$work/out" "$rc"
    counts="$(closing "$work/out")"
    n_skipped=$(wc -l <<<"$want_skipped")
    want="$((total + 1 - n_skipped)) 0 $n_skipped"
    results="$(results_of "$reports")"
    if grep -qxF '[  PASSED  ] 1 test.' <(tr -d '\r' <"$work/planted") && [ "$planted_rc" -eq 0 ] &&
        [ "$counts" = "$want" ] && [ "$rc" -eq 0 ] && [ "$(hints "$work/out")" = 1 ] &&
        results_are "$results" $((total + 1)) "$want_skipped" &&
        [ "$(plain "$work/out" | grep '^finding: ')" = "$finding" ]; then
        passed=$((passed + 1))
    else
        show "$work/planted" "$work/out"
        echo "  skipped: $(sed -n 's/^SKIPPED //p' <<<"$results" | xargs)"
        echo "  wanted \"$want\", exit code 0, one hint, these skipped: $(echo $want_skipped)"
        echo "  and the line \"$finding\"; the planted case alone: exit code $planted_rc"
        fail Kit.console_refuses "\"${counts:-no closing line}\", exit code $rc, not as wanted"
    fi
else
    fail Kit.console_refuses "cannot make the copy with the planted case"
fi

# 13. Inside a pseudoconsole of 60 x 15 cells, a small Windows Terminal pane,
# that refuses as in 12: the test that needs 1024 cells from the window's
# top is skipped too, and each skip says what was refused and what the
# console has.  pseudoconsole.exe must pass its command's exit code on, and
# the first line of this run and of the first must name the console.
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
CELLATTR_TEST_CONSOLE_REFUSES=1 CELLATTR_TEST_GTEST_OUTPUT="json:$(windows_path "$small_reports")\\" \
    KIT="$(windows_path "$kit")" OUT="$(windows_path "$work/out")" SCREEN="$(windows_path "$work/screen")" \
    wine_on_terminal "$elsewhere" /dev/null "$work/err" cmd.exe /c pseudoconsole.cmd
rc=$?
saw Kit.small_pseudoconsole "$work/out" "$rc"
counts="$(closing "$work/out")"
n_skipped=$(wc -l <<<"$want_small_skipped")
want="$((total - n_skipped)) 0 $n_skipped"
results="$(results_of "$small_reports")"
# Each skipped test must say, in a line that starts with its name, what was
# refused and that the console has 60 x 15 cells.
reasons=0
while IFS= read -r name; do
    plain "$work/out" |
        grep -qx "$name: the console refused .*; it has a 60 x 15 screen buffer with its window of 60 x 15 at column 0, row 0" &&
        reasons=$((reasons + 1))
done <<<"$want_small_skipped"
wine_on_terminal "$elsewhere" /dev/null "$work/err" "$pseudoconsole" cmd /c exit 3
passed_on=$?
named() {  # file: its first line names the console and the Windows
    head -1 "$1" 2>/dev/null | tr -d '\r' | grep -q '^run-tests: running in a .*, on Windows [0-9.]*$' &&
        ! head -1 "$1" | grep -q 'could not name'
}
if [ "$counts" = "$want" ] && [ "$rc" -eq 0 ] && [ "$reasons" -eq "$n_skipped" ] &&
    results_are "$results" "$total" "$want_small_skipped" && [ "$passed_on" -eq 3 ] &&
    named "$work/out" && named "$work/out-first"; then
    passed=$((passed + 1))
else
    show "$work/out"
    echo "  skipped: $(sed -n 's/^SKIPPED //p' <<<"$results" | xargs)"
    echo "  wanted \"$want\", exit code 0, $n_skipped reasons naming a 60 x 15 console, these skipped:"
    echo "  $(echo $want_small_skipped); and first lines naming the console, as the first run's:"
    echo "  $(head -1 "$work/out-first" | tr -d '\r'); cmd /c exit 3 in it ended with $passed_on"
    fail Kit.small_pseudoconsole "\"${counts:-no closing line}\", exit code $rc, $reasons reasons, not as wanted"
fi

# 14. pseudoconsole.exe at a prompt, its output the console: one line must
# say how to keep what the pseudoconsole draws, and none of that may reach
# the console (on Windows it would be the start-up sequences of a
# terminal's session, and garbage).  Wine's pseudoconsole (12 and 14) sends
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
saw Kit.pseudoconsole_at_a_prompt "$work/prompt" "$rc"
seen="$(plain "$work/prompt" | tr -d '\n')"
if [ "$rc" -eq 0 ] && [[ "$seen" != *drawn-in-the-pseudoconsole* ]] &&
    [[ "$seen" == *"pseudoconsole: what the pseudoconsole draws is not shown on a console; to keep it, redirect it: pseudoconsole ... > screen.txt"* ]]; then
    passed=$((passed + 1))
else
    show "$work/prompt"
    fail Kit.pseudoconsole_at_a_prompt "exit code $rc; what it drew reached the console, or no line said how to keep it"
fi

# 15. Other programs on the same desktop: one shows a box with the plugin's
# help caption, as the real plugin in a user's session would, and one puts
# a window of its own in front, again and again.  The kit must close no box
# but its own, count as before, and skip the help box's test only saying
# that the window in front changed, naming the one that took it.
(CELLATTR_IMPOSTOR=box "$WINE" "$impostor" </dev/null >/dev/null 2>&1) &
box=$!
(CELLATTR_IMPOSTOR=steals CELLATTR_IMPOSTOR_SECONDS=120 "$WINE" "$impostor" </dev/null >/dev/null 2>&1) &
stealer=$!
background+=("$box" "$stealer")
sleep 3
run_by_full_path "$kit"
rc=$?
saw Kit.other_programs_on_the_desktop "$work/out" "$rc"
counts="$(closing "$work/out")"
box_open=no
kill -0 "$box" 2>/dev/null && box_open=yes
kill "$stealer" 2>/dev/null
skip_named="$(count_lines "$work/out" '^HelpBox.ShowsTheHelpTextAndReturnsOne: the window in front changed .*class "CellAttrImpostor" of process [0-9]*')"
if [ "$rc" -eq 0 ] && [ "$box_open" = yes ] &&
    { [ "$counts" = "$total 0 0" ] || { [ "$counts" = "$((total - 1)) 0 1" ] && [ "$skip_named" -eq 1 ]; }; }; then
    passed=$((passed + 1))
else
    show "$work/out"
    fail Kit.other_programs_on_the_desktop "\"${counts:-no closing line}\", exit code $rc, the other box still open: $box_open"
fi
kill "$box" 2>/dev/null

# 16. Two runs at once: the second, started while the first runs, must say
# in one line that another run is in progress and exit with 1; the first
# must count as it would alone.
run_by_full_path "$kit" "$work/out-a" &
first_run=$!
background+=("$first_run")
if await_line "$work/out-a" '^run-tests: running in ' 120; then
    run_by_full_path "$kit" "$work/out-b"
    rc_b=$?
else
    rc_b="none (the first run never started)"
fi
wait "$first_run"
rc_a=$?
saw Kit.two_runs_at_once "$work/out-a" "$rc_a"
saw Kit.two_runs_at_once "$work/out-b" "$rc_b"
if [ "$(closing "$work/out-a")" = "$total 0 0" ] && [ "$rc_a" -eq 0 ] && [ "$rc_b" = 1 ] &&
    [ "$(plain "$work/out-b" | wc -l)" -eq 1 ] &&
    plain "$work/out-b" | grep -q '^run-tests: another run of the kit is in progress for this user'; then
    passed=$((passed + 1))
else
    show "$work/out-a" "$work/out-b"
    fail Kit.two_runs_at_once "the first run ended with $rc_a, the second with $rc_b, as above"
fi

finish
