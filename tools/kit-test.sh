#!/bin/bash
# The test kit as users run it: run-tests.cmd and measure-cost.cmd under
# Wine's own cmd.exe, on a console (a pseudo-terminal's, a console window of
# its own under Xvfb, or inside pseudoconsole.exe), each check in a Wine
# session and an X display of its own (tools/wine-env.sh), so that CTest can
# run them side by side, and any one alone (kit.NAME in cmake/checks.cmake):
#   tools/kit-test.sh prepare   what every check shares, once (CTest's
#                               fixture): the kit from dist/ unpacked into an
#                               awkward folder, the count of tests its
#                               programs list, and the stand-in kit
#   tools/kit-test.sh NAME      one check; exit code 0 when it passed, 1
#                               when it failed, its last line saying why
#   tools/kit-test.sh --list    the checks' names
# What a check's runs wrote stays in build/kit-test/NAME/.
#
# Checks that try the kit's counting run the stand-in kit: the kit's own
# batch files and helpers, with tests/kit/impostor.cpp in place of each test
# program, honest unless a check tells one program to lie, skip, crash or
# hang; a real program joins it where a check needs one.  The real suites
# run whole only where what they do is tried: as users run the kit, on a
# console that refuses, in a small pseudoconsole.  Wine's console refuses
# nothing, so a skip there is a failure.  A "%" in the folder name goes
# unchecked: Wine's cmd.exe expands a "%" inside a value it has just
# expanded, which Windows' does not; nor has it a %cmdcmdline%, for which
# the kit reads CELLATTR_TEST_CMDCMDLINE.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
shared="$root/build/kit-test"
impostor="$root/build/win/bin/kit_impostor.exe"
# Blanks, letters outside ASCII and the characters that cmd.exe treats
# specially: the kit must run from such a folder as from any other.
kit="$shared/kit/CellAttr kit & (x) !^'+=,[]{}~ été"
standin="$shared/standin/kit"
programs=(cellattr_tests.exe cellattr_plugin_tests.exe cellattr_detached_tests.exe
          cellattr_e2e_tests.exe)

checks=(full_path explorer_start lying_programs doctored_skips_silently never_ending
        measure_cost_crash measure_cost_summary semicolon_refused alone_in_a_folder
        console_refuses small_pseudoconsole expect_classic_in_pseudoconsole
        expect_pseudoconsole_in_classic pseudoconsole_at_a_prompt busy_desktop)

fail() {  # why: the check's last line
    echo "kit-test: $check: $1" >&2
    exit 1
}

# Output without the terminal's control sequences and carriage returns.
plain() {  # file
    sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1" 2>/dev/null
}

count_lines() {  # file, pattern: how many lines match it
    plain "$1" | grep -c -- "$2"
}

# The closing line of a run's output, as "PASSED FAILED SKIPPED"; nothing
# when the output does not end with "N passed, M failed" or "N passed, M
# failed, K skipped" (K above 0), the line that asks for a key aside.
closing() {  # file
    plain "$1" | grep -v '^Script ' | grep -v '^run-tests: press a key' | grep -v '^$' | tail -1 |
        sed -n -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed$/\1 \2 0/p' \
            -e 's/^\([0-9][0-9]*\) passed, \([0-9][0-9]*\) failed, \([1-9][0-9]*\) skipped$/\1 \2 \3/p'
}

# What a run wrote, indented, and how it ended, so that a failed check shows
# what it saw.
show() {  # file, exit code
    plain "$1" | sed 's/^/  /'
    echo "kit-test: $check: ended \"$(closing "$1")\" (passed, failed, skipped), exit code $2"
}

# Prepare: the real kit, the programs' listed tests, and the stand-in kit.
prepare() {
    local zip n total=0 program
    zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
    [ -n "$zip" ] && [ -f "$impostor" ] ||
        fail "no kit in dist/, or no build/win/bin/kit_impostor.exe: run tools/build.sh, tools/dist.sh"
    rm -rf "$shared"
    mkdir -p "$shared/prepare" "$standin/stand-in-host"
    python3 -m zipfile -e "$zip" "$kit" || fail "cannot unpack $zip"
    cp "$kit"/*.cmd "$standin/" &&
        cp "$kit"/stand-in-host/{timelimit.exe,pseudoconsole.exe} "$standin/stand-in-host/" &&
        for program in "${programs[@]}" console_cost.exe; do
            cp "$impostor" "$standin/stand-in-host/$program" || exit 1
        done || fail "cannot make the stand-in kit"
    wine_session
    for program in "${programs[@]}"; do
        "$WINE" "$kit/stand-in-host/$program" --gtest_list_tests >"$shared/prepare/$program" 2>&1 \
            </dev/null
        n=$(tr -d '\r' <"$shared/prepare/$program" | grep -c '^  [^ ]')
        [ "$n" -gt 0 ] || { cat "$shared/prepare/$program"; fail "$program lists no tests"; }
        echo "$program $n" >>"$shared/listed"
        total=$((total + n))
    done
    echo "kit-test: the kit's programs list $total tests"
}

# The tests that the kit's programs list, all or but the given programs'.
listed() {  # [program...]
    local total=0 program n
    [ -s "$shared/listed" ] || fail "nothing prepared: run tools/kit-test.sh prepare first"
    while read -r program n; do
        [[ " $* " == *" $program "* ]] || total=$((total + n))
    done <"$shared/listed"
    echo "$total"
}

# A copy of the stand-in kit in FOLDER, with the real programs named.
standin_kit() {  # folder, [real program...]
    local folder="$1" program
    shift
    cp -a "$standin" "$folder" || fail "cannot copy the stand-in kit"
    for program in "$@"; do
        cp "$kit/stand-in-host/$program" "$folder/stand-in-host/" || fail "no $program in the kit"
    done
    if [ $# -gt 0 ]; then  # the DLLs the real programs load, and their cases
        cp "$kit"/stand-in-host/{CellAttr.dll,TakeCmd.dll,cmdproc.exe} "$folder/stand-in-host/" &&
            cp -r "$kit/e2e" "$folder/" || fail "cannot copy the kit's DLLs"
    fi
}

# Runs run-tests.cmd of FOLDER with ARGS (as typed after it), its output
# into OUT, as a user in another folder types its full path in quotes:
#   terminal       on a pseudo-terminal's console
#   classic        in a console window of its own (start /wait)
#   pseudoconsole  inside pseudoconsole.exe, of SIZE (/size 60x15) if given
# Paths reach cmd.exe through the environment, so that no shell quotes
# them.  Returns the kit's exit code.
# Where cmd.exe never started the kit (its output file was never made),
# Wine is tried once more, after saying so: the kit cannot be at fault.
run_kit() {  # how, folder, out, [args]
    local how="$1" try rc
    for try in 1 2; do
        rm -f "$3"
        KIT="$(windows_path "$2")" OUT="$(windows_path "$3")" ARGS="${4:-}" \
            SCREEN="$(windows_path "$work/screen")" \
            wine_on_terminal "$elsewhere" /dev/null "$work/err" cmd.exe /d /c "$how.cmd"
        rc=$?
        [ $rc -ne 0 ] && [ ! -e "$3" ] && [ $try -eq 1 ] || return $rc
        echo "kit-test: $check: cmd.exe ended with $rc before it started the kit; once more"
        sed 's/^/  /' "$work/err"
    done
}

# The check's own folders and batch files, and its Wine session.
begin() {
    work="$shared/$check"
    elsewhere="$work/elsewhere"
    rm -rf "$work"
    mkdir -p "$elsewhere"
    printf '@echo off\r\n"%%KIT%%\\run-tests.cmd" %%ARGS%% >"%%OUT%%" 2>&1\r\n' >"$elsewhere/terminal.cmd"
    printf '@echo off\r\nstart "" /wait cmd /d /c terminal.cmd\r\nexit /b %%errorlevel%%\r\n' \
        >"$elsewhere/classic.cmd"
    printf '@echo off\r\n"%%KIT%%\\stand-in-host\\pseudoconsole.exe" %%SIZE%% cmd /d /s /c ""%%%%KIT%%%%\\run-tests.cmd" %%%%ARGS%%%% >"%%%%OUT%%%%" 2>&1" >"%%SCREEN%%"\r\n' \
        >"$elsewhere/pseudoconsole.cmd"
    wine_display || fail "no X display"
    wine_session || fail "no Wine session"
}

summary_has() {  # file, text...: each text a whole line of the summary FILE
    local text
    for text in "${@:2}"; do
        plain "$1" | grep -qxF -- "$text" || { echo "  the summary lacks: $text"; return 1; }
    done
}

# The tests that the JSON reports in FOLDER name as SKIPPED, sorted; each
# program must have written one, and every test must have run or been
# skipped.  A run asks for them with CELLATTR_TEST_GTEST_OUTPUT set to
# "json:FOLDER\", which the kit hands to GoogleTest as GTEST_OUTPUT.
skipped_in_reports() {  # folder
    python3 - "$1" <<'PYTHON'
import json, pathlib, re, sys
# Each program writes PROGRAM.json when it lists its tests, then, since that
# one is there, PROGRAM_1.json when it runs them: the last one is the run's.
last = {}
for path in pathlib.Path(sys.argv[1]).glob("*.json"):
    program, n = re.fullmatch(r"(.*?)(?:_(\d+))?", path.stem).groups()
    if int(n or 0) >= last.get(program, (-1, None))[0]:
        last[program] = (int(n or 0), path)
if len(last) != 4:
    sys.exit(f"reports from {len(last)} programs, not from each of the 4 test programs")
skipped = []
for n, path in last.values():
    for suite in json.loads(path.read_text(encoding="utf-8"))["testsuites"]:
        for test in suite["testsuite"]:
            if test.get("result") not in ("COMPLETED", "SKIPPED"):
                sys.exit(f"{path.name}: {suite['name']}.{test['name']} did not run")
            if test.get("result") == "SKIPPED":
                skipped.append(f"{suite['name']}.{test['name']}")
print("\n".join(sorted(skipped)))
PYTHON
}

# The kit as users run it: by full path from another folder, output
# redirected, in a console window of its own, as CI runs it, with /expect
# classic and a summary.  Every test listed must pass, nothing may be
# skipped, the native space table must agree with Wine's (no "finding:"),
# and it must not wait for a key.
check_full_path() {
    local t rc
    t=$(listed)
    run_kit classic "$kit" "$work/out" "/expect classic /summary \"$(windows_path "$work/summary.md")\""
    rc=$?
    show "$work/out" "$rc"
    [ "$(closing "$work/out")" = "$t 0 0" ] && [ "$rc" -eq 0 ] ||
        fail "wanted \"$t passed, 0 failed\" and exit code 0"
    [ "$(count_lines "$work/out" '^finding: \|^run-tests: press a key')" -eq 0 ] ||
        fail "a finding on the space table, or a wait for a key, above"
    summary_has "$work/summary.md" "\`$t passed, 0 failed\`, exit code 0." &&
        plain "$work/summary.md" | grep -q '^### run-tests.cmd: a classic console window (Wine.s), on Windows ' ||
        fail "the summary is not as wanted"
}

# As Explorer starts a double-clicked batch file: cmd.exe /c ""PATH" ",
# the command line given to CreateProcess as written (the impostor's
# launch), the output on the console (recorded from the terminal by
# script(1)), with GoogleTest's settings, cmd's dynamic names and
# GTEST_COLOR=yes in the environment, as a user may have them: the honest
# impostors fail if a setting reaches them, and the kit must wait for a key
# at its end (it is still waiting two seconds later), and then end.
check_explorer_start() {
    local line rc waited=no launched i
    standin_kit "$work/kit"
    line="C:\\windows\\system32\\cmd.exe /c \"\"$(windows_path "$work/kit")\\run-tests.cmd\" \""
    mkfifo "$work/keys"
    (cd "$elsewhere" && CELLATTR_IMPOSTOR=honest CELLATTR_IMPOSTOR_kit_impostor=launch \
        CELLATTR_IMPOSTOR_COMMAND="$line" CELLATTR_TEST_CMDCMDLINE="$line" CMDCMDLINE=other \
        GTEST_COLOR=yes GTEST_FILTER='*Format*' GTEST_REPEAT=2 GTEST_SHUFFLE=1 \
        GTEST_TOTAL_SHARDS=3 GTEST_SHARD_INDEX=1 GTEST_FAIL_FAST=1 GTEST_BRIEF=0 \
        GTEST_OUTPUT='xml:Q:\nowhere\' TESTBRIDGE_TEST_ONLY='*Format*' XML_OUTPUT_FILE='Q:\x' \
        ERRORLEVEL=0 RANDOM=7 CD='Q:\nowhere' \
        script -qfec "$(printf '%q %q' "$WINE" "$impostor")" "$work/out" \
        <"$work/keys" >/dev/null 2>&1) &
    launched=$!
    exec 8>"$work/keys"
    for ((i = 0; i < 240; i++)); do
        [ "$(count_lines "$work/out" '^run-tests: press a key to close this window')" -gt 0 ] && break
        kill -0 "$launched" 2>/dev/null || break
        sleep 0.25
    done
    sleep 2
    kill -0 "$launched" 2>/dev/null && waited=yes
    # The key; a kit that ended without waiting reads none.
    trap '' PIPE
    printf 'x' >&8 2>/dev/null
    for ((i = 0; i < 60; i++)); do kill -0 "$launched" 2>/dev/null || break; sleep 0.5; done
    kill "$launched" 2>/dev/null
    wait "$launched"
    rc=$?
    exec 8>&-
    show "$work/out" "$rc"
    [ "$(closing "$work/out")" = "12 0 0" ] && [ "$rc" -eq 0 ] && [ "$waited" = yes ] ||
        fail "wanted \"12 passed, 0 failed\", exit code 0, and a wait for a key (waited: $waited)"
}

# The stand-in kit with programs told what to do: the kit must
# count what each reports as it should, and say why it counts one as a
# failure.  doctored HOW_RUN ARGS WANT RC [PROGRAM=HOW...] [-- LINE...]:
# WANT is "P F K" (passed, failed, skipped), and each LINE must stand whole
# in the output.  A program told "real" is the kit's own.
doctored() {  # how-run, args, want, rc, [program=how...], [-- line...]
    local how_run="$1" args="$2" want="$3" want_rc="$4" rc told=() real=() line
    shift 4
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        case "${1#*=}" in
        real) real+=("${1%%=*}") ;;
        *) told+=("CELLATTR_IMPOSTOR_${1%%.exe=*}=${1#*=}") ;;
        esac
        shift
    done
    [ $# -eq 0 ] || shift
    standin_kit "$work/kit" "${real[@]}"
    [ -z "${remove:-}" ] || rm "$work/kit/$remove"
    (
        export CELLATTR_IMPOSTOR=honest "${told[@]}"
        run_kit "$how_run" "$work/kit" "$work/out" "$args"
    )
    rc=$?
    show "$work/out" "$rc"
    [ "$(closing "$work/out")" = "$want" ] && [ "$rc" -eq "$want_rc" ] ||
        fail "wanted \"$want\" (passed, failed, skipped) and exit code $want_rc"
    for line in "$@"; do
        plain "$work/out" | grep -qxF -- "$line" || fail "no line \"$line\""
    done
}
# A program that prints nothing, one whose summary disagrees with its list,
# one that crashes after a passing summary (with ERRORLEVEL=0 in the
# environment, where %errorlevel% would read the variable and not the
# code), and a kit that lost an end to end case (a partial unpack, a
# quarantined file): each one failure, saying why.
check_lying_programs() {
    ERRORLEVEL=0 remove=e2e/console.out doctored terminal "" "0 4 0" 1 \
        cellattr_tests.exe=silent cellattr_plugin_tests.exe=disagrees \
        cellattr_detached_tests.exe=crashes cellattr_e2e_tests.exe=real -- \
        "** cellattr_tests.exe counts as one failure: it listed no tests." \
        "** cellattr_plugin_tests.exe counts as one failure: it reports 2 tests (2 passed, 0 failed, 0 skipped), but lists 3." \
        "** cellattr_detached_tests.exe counts as one failure: it ended with exit code -1073741819 (0xC0000005, an access violation), though it reports no failure." \
        "** cellattr_e2e_tests.exe counts as one failure: it could not start, or could not list its tests (exit code 2)."
    [ "$(count_lines "$work/out" 'console\.out is missing;')" -ge 1 ] ||
        fail "the end to end program did not name console.out"
}
# A skip without its reason, in a pseudoconsole: /expect pseudoconsole
# fails it.  (Skips with their reasons, which it allows, are the real
# suites' in small_pseudoconsole.)
check_doctored_skips_silently() {
    doctored pseudoconsole "/expect pseudoconsole" "11 1 1" 1 \
        cellattr_detached_tests.exe=skips-silently -- \
        "run-tests: /expect pseudoconsole allows a skipped test only with its reason, and this run skipped 1, of which 0 said why."
}
# A pseudoconsole where /expect classic is asked, and a console window where
# /expect pseudoconsole is: nothing runs, and the run fails in one line.
check_expect_classic_in_pseudoconsole() {
    doctored pseudoconsole "/expect classic" "0 1 0" 1
    count_lines "$work/out" '^run-tests: /expect classic wants a classic console window, and this is a pseudoconsole (Wine.s), on Windows .*; nothing was run\.$' |
        grep -qx 1 || fail "no line saying which console was wanted"
}
check_expect_pseudoconsole_in_classic() {
    doctored classic "/expect pseudoconsole" "0 1 0" 1
    count_lines "$work/out" '^run-tests: /expect pseudoconsole wants a pseudoconsole, and this is a classic console window (Wine.s), on Windows .*; nothing was run\.$' |
        grep -qx 1 || fail "no line saying which console was wanted"
}

# Programs that never end, with the time limit cut to 6 s: the impostor
# as the end to end program, after its passing summary, and the real
# program without a console, in its one test (CELLATTR_TEST_HANG).  Each
# must be ended and count as one failure, its line naming where it was.
# Beside them, a program that leaves one of its tests unaccounted for.
check_never_ending() {
    CELLATTR_TEST_HANG=Detached.OpeningTheConsoleFails CELLATTR_TEST_TIME_LIMIT=6 \
        doctored terminal "" "3 3 0" 1 cellattr_tests.exe=skips-short \
        cellattr_detached_tests.exe=real cellattr_e2e_tests.exe=hangs -- \
        "** cellattr_tests.exe counts as one failure: it reports 2 tests (1 passed, 0 failed, 1 skipped), but lists 3." \
        "** cellattr_detached_tests.exe counts as one failure: it did not end within 6 s, and was ended while running Detached.OpeningTheConsoleFails." \
        "** cellattr_e2e_tests.exe counts as one failure: it did not end within 6 s, and was ended between tests, none of them running."
}

# measure-cost.cmd with a console_cost.exe that crashes, ERRORLEVEL=0 in
# the environment: exit code 1, the code in a form a person can read, and
# that line in the summary.
check_measure_cost_crash() {
    local rc said="measure-cost: console_cost.exe ended with exit code -1073741819 (0xC0000005, an access violation)"
    standin_kit "$work/kit"
    printf '@echo off\r\n"%%KIT%%\\measure-cost.cmd" /summary "%%OUT%%.md" >"%%OUT%%" 2>&1\r\n' \
        >"$elsewhere/cost.cmd"
    ERRORLEVEL=0 CELLATTR_IMPOSTOR=crashes run_kit cost "$work/kit" "$work/out"
    rc=$?
    show "$work/out" "$rc"
    [ "$rc" -eq 1 ] && [ "$(plain "$work/out")" = "$said" ] ||
        fail "wanted exit code 1 and \"$said\""
    summary_has "$work/out.md" "$said, exit code 1." || fail "the summary is not as wanted"
}

# measure-cost.cmd for real, a few rounds: its summary holds the table.
check_measure_cost_summary() {
    local rc
    printf '@echo off\r\n"%%KIT%%\\measure-cost.cmd" 3 /summary "%%OUT%%.md" >"%%OUT%%" 2>&1\r\n' \
        >"$elsewhere/cost.cmd"
    run_kit cost "$kit" "$work/out"
    rc=$?
    show "$work/out" "$rc"
    [ "$rc" -eq 0 ] || fail "wanted exit code 0"
    plain "$work/out.md" | grep -q '^### measure-cost.cmd: console_cost: in ' &&
        plain "$work/out.md" | grep -q '^| 1 cell | [0-9.]* us | [0-9.]* us | [0-9.]* | [0-9.]* |$' &&
        plain "$work/out.md" | grep -q '^| 1024 names | [0-9.]* us | [0-9.]* us | [0-9.]* | [0-9.]* |$' ||
        { plain "$work/out.md"; fail "the summary lacks the heading or a row"; }
}

# A folder that the platform refuses: at once, in one line.
check_semicolon_refused() {
    local rc
    standin_kit "$work/kit;semicolon"
    run_kit terminal "$work/kit;semicolon" "$work/out"
    rc=$?
    show "$work/out" "$rc"
    [ "$rc" -eq 1 ] && [ "$(plain "$work/out" | wc -l)" -eq 2 ] &&
        [ "$(count_lines "$work/out" '^run-tests: the kit.s folder name has a ";"')" -eq 1 ] &&
        [ "$(closing "$work/out")" = "0 1 0" ] || fail "in a folder with \";\" it did not refuse at once"
}

# run-tests.cmd alone in a folder, as Explorer extracts it from the zip
# when it is double-clicked there: one line, to unpack the whole zip, and
# exit code 1.  CMDCMDLINE, as Explorer would give it, is a user's variable
# that the kit must clear: it must not wait for a key.
check_alone_in_a_folder() {
    local rc
    mkdir -p "$work/alone" && cp "$standin/run-tests.cmd" "$work/alone/"
    CMDCMDLINE="C:\\windows\\system32\\cmd.exe /c \"\"$(windows_path "$work/alone")\\run-tests.cmd\" \"" \
        run_kit terminal "$work/alone" "$work/out"
    rc=$?
    show "$work/out" "$rc"
    [ "$rc" -eq 1 ] && [ "$(plain "$work/out" | wc -l)" -eq 1 ] &&
        [ "$(count_lines "$work/out" '^run-tests: there is no stand-in-host folder beside run-tests.cmd.*unpack the whole zip')" -eq 1 ] ||
        fail "wanted one line, to unpack the whole zip, and exit code 1"
}

# A console window whose console refuses (CELLATTR_TEST_CONSOLE_REFUSES=1
# makes the tests' console check answer "refused" without asking), under
# /expect classic: exactly the tests that need a buffer larger than the
# window with a window that moves, and the case that needs a window of a
# given size, are skipped, each with its reason, which /expect classic
# fails; every other test passes.  And a native space table that differs
# from the system at U+2028 (CELLATTR_TEST_SPACE_TABLE_DIFFERS): the
# plugin's own rule holds, so nothing fails, and one line tells it.  The
# summary has each reason and the finding, from the brief output.
check_console_refuses() {
    local t rc skipped reasons=() name
    local want_skipped="EndToEnd.window
ScrolledConsole.ExtremePositionsAreOutOfRange
ScrolledConsole.RelativeToTheCursor
ScrolledConsole.RunStopsAtTheEndOfTheBuffer
ScrolledConsole.WindowLowerDownAndScrolledSideways"
    local finding="finding: U+2028: the native space table says not space; this Windows says space (iswspace), space (GetStringTypeW)"
    t=$(listed)
    mkdir -p "$work/reports"
    CELLATTR_TEST_CONSOLE_REFUSES=1 CELLATTR_TEST_SPACE_TABLE_DIFFERS=2028 \
        CELLATTR_TEST_GTEST_OUTPUT="json:$(windows_path "$work/reports")\\" \
        run_kit classic "$kit" "$work/out" "/expect classic /summary \"$(windows_path "$work/summary.md")\""
    rc=$?
    show "$work/out" "$rc"
    skipped="$(skipped_in_reports "$work/reports")" || fail "the JSON reports cannot be read"
    [ "$skipped" = "$want_skipped" ] || fail "skipped were: $(echo $skipped); wanted: $(echo $want_skipped)"
    [ "$(closing "$work/out")" = "$((t - 5)) 1 5" ] && [ "$rc" -eq 1 ] ||
        fail "wanted \"$((t - 5)) passed, 1 failed, 5 skipped\" and exit code 1"
    [ "$(count_lines "$work/out" '^run-tests: /expect classic allows no skipped test, and this run skipped 5: ')" -eq 1 ] &&
        [ "$(plain "$work/out" | grep '^finding: ')" = "$finding" ] ||
        fail "no line that /expect classic allows no skip, or not the one finding"
    mapfile -t reasons < <(plain "$work/out" | grep '^skipped: ')
    [ ${#reasons[@]} -eq 5 ] || fail "${#reasons[@]} lines say why a test was skipped, not 5"
    for name in $want_skipped; do
        printf '%s\n' "${reasons[@]}" | grep -q "^skipped: $name: the console refused" ||
            fail "no reason for $name"
    done
    summary_has "$work/summary.md" "\`$((t - 5)) passed, 1 failed, 5 skipped\`, exit code 1." \
        "${reasons[@]}" "$finding" || fail "the summary is not as wanted"
}

# Inside a pseudoconsole of 60 x 15 cells, a small Windows Terminal pane,
# that refuses as in 14, under /expect pseudoconsole, as CI's second run:
# the test that needs 1024 cells from the window's top is skipped too, and
# each skip says what was refused and what the console has.
# pseudoconsole.exe must pass its command's exit code on.
check_small_pseudoconsole() {
    local t rc skipped name passed_on
    local want_skipped="EndToEnd.window
RealConsole.NeverWritesPastTheHostsBuffer
ScrolledConsole.ExtremePositionsAreOutOfRange
ScrolledConsole.RelativeToTheCursor
ScrolledConsole.RunStopsAtTheEndOfTheBuffer
ScrolledConsole.WindowLowerDownAndScrolledSideways"
    t=$(listed)
    mkdir -p "$work/reports"
    CELLATTR_TEST_CONSOLE_REFUSES=1 CELLATTR_TEST_GTEST_OUTPUT="json:$(windows_path "$work/reports")\\" \
        SIZE="/size 60x15" run_kit pseudoconsole "$kit" "$work/out" \
        "/expect pseudoconsole /summary \"$(windows_path "$work/summary.md")\""
    rc=$?
    show "$work/out" "$rc"
    skipped="$(skipped_in_reports "$work/reports")" || fail "the JSON reports cannot be read"
    [ "$skipped" = "$want_skipped" ] || fail "skipped were: $(echo $skipped); wanted: $(echo $want_skipped)"
    [ "$(closing "$work/out")" = "$((t - 6)) 0 6" ] && [ "$rc" -eq 0 ] ||
        fail "wanted \"$((t - 6)) passed, 0 failed, 6 skipped\" and exit code 0"
    head -1 "$work/out" | tr -d '\r' | grep -q '^run-tests: running in a pseudoconsole (Wine.s), on Windows [0-9.]*$' ||
        fail "the first line does not name the pseudoconsole"
    for name in $want_skipped; do
        plain "$work/out" | grep -qx "skipped: $name: the console refused .*; it has a 60 x 15 screen buffer with its window of 60 x 15 at column 0, row 0" ||
            fail "the reason for $name does not name a 60 x 15 console"
        plain "$work/summary.md" | grep -qx "skipped: $name: .*" || fail "the summary lacks $name"
    done
    wine_on_terminal "$elsewhere" /dev/null "$work/err" "$kit/stand-in-host/pseudoconsole.exe" cmd /d /c exit 3
    passed_on=$?
    [ "$passed_on" -eq 3 ] || fail "cmd /c exit 3 in pseudoconsole.exe ended with $passed_on"
}

# pseudoconsole.exe at a prompt, its output the console: one line must
# say how to keep what the pseudoconsole draws, and none of that may reach
# the console (on Windows it would be the start-up sequences of a
# terminal's session, and garbage).  Wine's pseudoconsole sends nothing
# down its pipe, so there only the line tells the old behaviour apart.  The
# carets keep the drawn text out of the command line, which script(1)
# records too; the console wraps lines at its width, so they are joined.
check_pseudoconsole_at_a_prompt() {
    local rc seen
    (cd "$kit/stand-in-host" && script -qfec \
        "$(printf '%q pseudoconsole.exe cmd /d /c echo drawn^-in^-the^-pseudoconsole' "$WINE")" \
        "$work/out" </dev/null >/dev/null 2>&1)
    rc=$?
    show "$work/out" "$rc"
    seen="$(plain "$work/out" | tr -d '\n')"
    [ "$rc" -eq 0 ] && [[ "$seen" != *drawn-in-the-pseudoconsole* ]] &&
        [[ "$seen" == *"pseudoconsole: what the pseudoconsole draws is not shown on a console; to keep it, redirect it: pseudoconsole ... > screen.txt"* ]] ||
        fail "what it drew reached the console, or no line said how to keep it"
}

# A busy desktop: another program shows a box with the plugin's help
# caption, as the real plugin in a user's session would, another puts a
# window of its own in front, again and again, and a second run starts
# while the first runs.  The kit, with the real entry points' program, must
# close no box but its own, count as before, and skip the help box's test
# only saying that the window in front changed, naming the one that took
# it; the second run must say in one line that another is in progress and
# exit with 1.
check_busy_desktop() {
    local p rc rc_b box stealer counts named i
    p=$(grep '^cellattr_plugin_tests.exe ' "$shared/listed" | cut -d' ' -f2)
    standin_kit "$work/kit" cellattr_plugin_tests.exe
    (CELLATTR_IMPOSTOR=box "$WINE" "$impostor" </dev/null >/dev/null 2>&1) &
    box=$!
    (CELLATTR_IMPOSTOR=steals CELLATTR_IMPOSTOR_SECONDS=120 "$WINE" "$impostor" </dev/null >/dev/null 2>&1) &
    stealer=$!
    wine_cleanup+=("kill $box $stealer")
    sleep 3
    (CELLATTR_IMPOSTOR=honest run_kit terminal "$work/kit" "$work/out") &
    local first=$!
    for ((i = 0; i < 240; i++)); do
        [ "$(count_lines "$work/out" '^run-tests: running in ')" -gt 0 ] && break
        sleep 0.25
    done
    CELLATTR_IMPOSTOR=honest run_kit terminal "$work/kit" "$work/out-b"
    rc_b=$?
    wait "$first"
    rc=$?
    show "$work/out" "$rc"
    show "$work/out-b" "$rc_b"
    kill -0 "$box" 2>/dev/null || fail "the other program's box was closed"
    counts="$(closing "$work/out")"
    named="$(count_lines "$work/out" '^skipped: HelpBox.ShowsTheHelpTextAndReturnsOne: the window in front changed .*class "CellAttrImpostor" of process [0-9]*')"
    [ "$rc" -eq 0 ] && { [ "$counts" = "$((9 + p)) 0 0" ] ||
        { [ "$counts" = "$((8 + p)) 0 1" ] && [ "$named" -eq 1 ]; }; } ||
        fail "the first run did not count as it would alone"
    [ "$rc_b" -eq 1 ] && [ "$(plain "$work/out-b" | wc -l)" -eq 1 ] &&
        [ "$(count_lines "$work/out-b" '^run-tests: another run of the kit is in progress for this user')" -eq 1 ] ||
        fail "the second run did not refuse in one line, with exit code 1"
}

case "${1:-}" in
--list) printf '%s\n' "${checks[@]}"; exit 0 ;;
prepare) check=prepare ;;
*)
    check="${1:-}"
    [[ " ${checks[*]} " == *" $check "* ]] || { echo "usage: tools/kit-test.sh prepare|--list|CHECK" >&2; exit 2; }
    ;;
esac
source "$root/tools/wine-env.sh"
if [ "$check" = prepare ]; then
    prepare
else
    begin
    "check_$check"
fi
echo "kit-test: $check: passed"
