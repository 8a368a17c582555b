#!/bin/bash
# The test kit as users run it, under Wine's own cmd.exe, for what only
# Windows' behaviour shows: the kind of console, a double-click, two runs at
# once, programs that crash or never end, the folders it refuses, the whole
# kit end to end.  (Its judging is tested natively: kit_judge_test.cpp.)
# Each check has a Wine session and X display of its own (wine-env.sh), so
# that CTest runs them side by side, or one alone (kit.NAME, checks.cmake):
#   tools/kit-test.sh prepare | NAME | --list
# prepare unpacks the kit from dist/ into an awkward folder and makes the
# stand-in kit: the kit with tests/kit/impostor.cpp for each suite's
# program.  A check's last line says why it failed; what its runs wrote
# stays in build/kit-test/NAME/.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
shared="$root/build/kit-test"
impostor="$root/build/win/bin/kit_impostor.exe"
# Blanks, letters outside ASCII and what cmd.exe treats specially; no "%",
# which Wine's cmd.exe expands again in a value it has just expanded.
kit="$shared/kit/CellAttr kit & (x) !^'+=,[]{}~ été"
standin="$shared/standin/kit"
suites=($(grep -v '^#' "$root/kit/suites.txt" | cut -d' ' -f1))
checks=(full_path small_pseudoconsole double_click broken_programs refusals)

fail() { echo "kit-test: $check: $1" >&2; exit 1; }  # why: the check's last line
# A file without the terminal's control sequences and carriage returns.
plain() { sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\r//g' "$1" 2>/dev/null; }

has() {  # file, line...: each line stands whole in the file
    local line
    for line in "${@:2}"; do plain "$1" | grep -qxF -- "$line" || fail "no line \"$line\" in $1"; done
}

# What a run wrote, indented; its last line must match CLOSING (grep -x),
# its exit code be RC.
ended() {  # file, exit code, closing, rc
    plain "$1" | sed 's/^/  /'
    [ "$2" -eq "$4" ] && plain "$1" | grep -v '^$' | tail -1 | grep -qx -- "$3" ||
        fail "wanted \"$3\" and exit code $4, and it ended with exit code $2"
}

prepare() {
    local zip program
    zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
    [ -n "$zip" ] && [ -f "$impostor" ] ||
        fail "no kit in dist/, or no build/win/bin/kit_impostor.exe: run tools/build.sh, tools/dist.sh"
    rm -rf "$shared"
    mkdir -p "$standin/stand-in-host"
    python3 -m zipfile -e "$zip" "$kit" || fail "cannot unpack $zip"
    cp "$kit"/*.cmd "$standin/" && cp "$kit/stand-in-host/cellattr-kit.exe" "$standin/stand-in-host/" &&
        for program in "${suites[@]}"; do
            cp "$impostor" "$standin/stand-in-host/$program.exe" || exit 1
        done || fail "cannot make the stand-in kit"
}

# A copy of the stand-in kit in FOLDER, with the real programs named.
standin_kit() {  # folder, [real program...]
    local folder="$1" program
    shift
    cp -a "$standin" "$folder" || fail "cannot copy the stand-in kit"
    for program in "$@" CellAttr.dll TakeCmd.dll cmdproc.exe; do
        cp "$kit/stand-in-host/$program" "$folder/stand-in-host/" || fail "no $program in the kit"
    done
    cp -r "$kit/e2e" "$folder/" || fail "cannot copy the kit's cases"
}

# Runs SCRIPT (run-tests) of FOLDER with ARGS, its output into OUT, as a user
# types its full path in another folder: on a pseudo-terminal's console
# (terminal), so by the wrapping impostor, which writes OUT.wrap (wrap), in a
# console window of its own (classic: start /wait), or in pseudoconsole.exe
# (/size in SIZE).  Paths go through the environment, so that no shell
# quotes them.
run_kit() {  # how, folder, out, [args], [script]
    local run=(cmd.exe /d /c "$1.cmd") wrapped=/dev/null how=""
    [ "$1" != wrap ] || run=("$impostor") wrapped="$3.wrap" how=wrap
    rm -f "$3"
    KIT="$(windows_path "$2")" OUT="$(windows_path "$3")" ARGS="${4:-}" SCRIPT="${5:-run-tests}" \
        CELLATTR_IMPOSTOR_kit_impostor="$how" CELLATTR_IMPOSTOR_COMMAND="cmd.exe /d /c terminal.cmd" \
        wine_on_terminal "$elsewhere" "$wrapped" "$work/err" "${run[@]}"
}

# Whether a process of this check's Wine session runs PROGRAM.
running_here() {  # program
    local process
    for process in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$process/cmdline" | head -1 | grep -qF "$1" &&
            tr '\0' '\n' 2>/dev/null <"$process/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            return 0
    done
    return 1
}

begin() {
    work="$shared/$check"
    elsewhere="$work/elsewhere"
    rm -rf "$work" && mkdir -p "$elsewhere"
    printf '@echo off\r\n"%%KIT%%\\%%SCRIPT%%.cmd" %%ARGS%% >"%%OUT%%" 2>&1\r\n' >"$elsewhere/terminal.cmd"
    printf '@echo off\r\nstart "" /wait cmd /d /c terminal.cmd\r\nexit /b %%errorlevel%%\r\n' \
        >"$elsewhere/classic.cmd"
    printf '@echo off\r\n"%%KIT%%\\stand-in-host\\pseudoconsole.exe" %%SIZE%% cmd /d /s /c ""%%%%KIT%%%%\\run-tests.cmd" %%%%ARGS%%%% >"%%%%OUT%%%%" 2>&1" >nul\r\n' \
        >"$elsewhere/pseudoconsole.cmd"
    wine_display || fail "no X display"
    wine_session || fail "no Wine session"
}

# The whole kit in a console window of its own, as CI runs it: every suite,
# then the cost and the demo; nothing skipped, found, or waiting for a key.
check_full_path() {
    run_kit classic "$kit" "$work/out" "/expect classic /summary \"$(windows_path "$work/summary.md")\""
    ended "$work/out" $? '[1-9][0-9]* passed, 0 failed' 0
    ! plain "$work/out" | grep -q '^skipped: \|^finding: \|press a key' || fail "a skip, a finding or a wait"
    plain "$work/out" | head -1 | grep -qx 'run-tests: running in a classic console window (Wine.s), on Windows .*, with /expect classic' ||
        fail "the first line names another console, or not /expect classic"
    grep -q '^### run-tests (/expect classic): a classic console window' "$work/summary.md" ||
        fail "the summary's heading does not name /expect classic"
    has "$work/summary.md" "\`$(plain "$work/out" | tail -1)\`, exit code 0."
    run_kit classic "$kit" "$work/wrong" "/expect pseudoconsole"
    ended "$work/wrong" $? "0 passed, 1 failed" 1
    run_kit classic "$kit" "$work/cost" "3 /summary \"$(windows_path "$work/cost.md")\"" measure-cost
    ended "$work/cost" $? '1024 names .*' 0
    plain "$work/cost.md" | grep -q '^| 1024 names | [0-9.]* us | [0-9.]* us | [0-9.]* | [0-9.]* |$' ||
        fail "measure-cost's summary lacks its row"
    run_kit classic "$kit" "$work/demo" "\"$(windows_path "$work/screen.svg")\"" run-demo
    ended "$work/demo" $? 'run-demo: the picture of this console is in .*' 0
    grep -q '<svg' "$work/screen.svg" || fail "run-demo drew no picture"
}

# In a pseudoconsole of 60 x 15 cells, a small Windows Terminal pane, as CI's
# second run: the tests that need a larger buffer skip, saying why, and a
# planted difference of the space table is found, both in the summary.
check_small_pseudoconsole() {
    local name
    CELLATTR_TEST_CONSOLE_REFUSES=1 CELLATTR_TEST_SPACE_TABLE_DIFFERS=2028 SIZE="/size 60x15" \
        run_kit pseudoconsole "$kit" "$work/out" "/expect pseudoconsole /summary \"$(windows_path "$work/summary.md")\""
    ended "$work/out" $? '[1-9][0-9]* passed, 0 failed, 6 skipped' 0
    head -1 "$work/out" | grep -q '^run-tests: running in a pseudoconsole (Wine.s), on Windows ' || fail "the first line names another console"
    for name in $(sed -n '/kMayNeedALargerBuffer/,/};/s/^ *"\(.*\)",$/\1/p' "$root/kit/judge.h"); do
        plain "$work/summary.md" | grep -qx "$name: the console refused .*; it has a 60 x 15 screen buffer with its window of 60 x 15 at column 0, row 0" ||
            fail "the summary gives no reason for $name naming a 60 x 15 console"
    done
    has "$work/summary.md" "U+2028: the native space table says not space; this Windows says space (iswspace), space (GetStringTypeW)"
}

# As Explorer starts a double-clicked batch file, in a console of its own,
# with GoogleTest's settings about (an honest impostor fails on one): the
# kit must wait for a key, and end on one that the launching impostor presses.
check_double_click() {
    standin_kit "$work/kit"
    (cd "$elsewhere" && CELLATTR_IMPOSTOR=honest CELLATTR_IMPOSTOR_kit_impostor=launch \
        CELLATTR_IMPOSTOR_COMMAND="C:\\windows\\system32\\cmd.exe /c \"\"$(windows_path "$work/kit")\\run-tests.cmd\" \"" \
        GTEST_FILTER='*First*' GTEST_REPEAT=2 GTEST_TOTAL_SHARDS=3 GTEST_SHARD_INDEX=1 \
        gtest_also_run_disabled_tests=1 TESTBRIDGE_TEST_ONLY='*First*' XML_OUTPUT_FILE='Q:\x' \
        wine_bounded "the launching impostor" "$WINE" "$impostor" >"$work/out" 2>&1 </dev/null)
    ended "$work/out" $? "run-tests: press a key to close this window." 0
    has "$work/out" "12 passed, 0 failed"
}

# A program that crashes after its report, one missing, the real one
# without a console stuck in its test past a limit cut to 8 s (a second run
# meanwhile is refused), the real end to end one in a kit that lost a case;
# then one that prints nothing and writes no report.  The first run gives
# its programs no job (CELLATTR_TEST_NO_JOB), as a job that nests none would,
# and has QuickEdit on: the stuck program must end all the same, and the kit
# turn QuickEdit off while it runs (as a suite sees it), and back on.
check_broken_programs() {
    local first i before during after
    standin_kit "$work/kit" cellattr_detached_tests.exe cellattr_e2e_tests.exe
    rm "$work/kit/stand-in-host/cellattr_plugin_tests.exe" "$work/kit/e2e/console.out"
    (CELLATTR_IMPOSTOR=crashes CELLATTR_TEST_HANG=Detached.OpeningTheConsoleFails \
        CELLATTR_TEST_TIME_LIMIT=8 CELLATTR_TEST_NO_JOB=1 run_kit wrap "$work/kit" "$work/out") &
    first=$!
    for ((i = 0; i < 240; i++)); do
        plain "$work/out" | grep -q '^== the plugin in a process without a console' && break || sleep 0.25
    done
    run_kit terminal "$work/kit" "$work/second"
    ended "$work/second" $? 'run-tests: another run of the kit is in progress for this user.*' 1
    [ "$(plain "$work/second" | wc -l)" -eq 1 ] || fail "the second run said more than one line"
    wait $first
    ended "$work/out" $? "0 passed, 4 failed" 1
    plain "$work/out" | grep -q '^run-tests: no job for the test programs (.*error 5)): ' ||
        fail "the kit did not say that its programs had no job"
    ! running_here cellattr_detached_tests.exe || fail "the program that outran its limit still runs"
    mode() { plain "$1" | sed -n "s/^impostor: input mode $2: 0x\([0-9A-F]*\)\$/\1/p" | head -1; }
    before="$(mode "$work/out.wrap" before)" during="$(mode "$work/out" during)"
    after="$(mode "$work/out.wrap" after)"
    echo "  input mode 0x$before before the run, 0x$during during it, 0x$after after it"
    [ -n "$during" ] && ((0x$before & 0x40)) && ! ((0x$during & 0x40)) && [ "$after" = "$before" ] ||
        fail "QuickEdit (0x40) was not on, off while the kit ran, and on again"
    # The system's words for the code are Windows' own, and Wine's differ.
    plain "$work/out" | grep -qx '\*\* cellattr_tests.exe counts as one failure: it ended with exit code 0xC0000005 (.*), though its report shows no failure\.' ||
        fail "no line on the crash of cellattr_tests.exe"
    has "$work/out" "** cellattr_plugin_tests.exe counts as one failure: it is missing from stand-in-host." \
        "** cellattr_detached_tests.exe counts as one failure: it did not end within 8 s, and was ended while running Detached.OpeningTheConsoleFails." \
        "** cellattr_e2e_tests.exe counts as one failure: it could not list its tests: it ended with exit code 2."
    plain "$work/out" | grep -q 'console\.out is missing;' || fail "the end to end program did not name console.out"
    CELLATTR_IMPOSTOR_cellattr_tests=silent run_kit terminal "$work/kit" "$work/silent"
    ended "$work/silent" $? "1 passed, 3 failed" 1
    has "$work/silent" "** cellattr_tests.exe counts as one failure: it wrote no list of its tests."
}

# Refused at once: run-tests.cmd alone, as Explorer takes it out of the zip
# when it is double-clicked there, a folder whose name has a ";", a lock
# file that cannot be opened (a folder in its place: Wine lets root write a
# read-only file), and /expect classic in a pseudoconsole.  The session
# starts no desktop of its own (winemenubuilder does, at its start), so that
# the pseudoconsole's console host starts it, and hands it its standard
# handles, our output pipe among them: pseudoconsole.exe must end all the
# same, with the kit's exit code, and say which wait it gave up.
check_refusals() {
    local lock
    export WINEDLLOVERRIDES="winemenubuilder.exe=d"
    mkdir -p "$work/alone" && cp "$standin/run-tests.cmd" "$work/alone/"
    run_kit terminal "$work/alone" "$work/out"
    ended "$work/out" $? "run-tests: there is no stand-in-host folder beside run-tests.cmd.*unpack the whole zip.*" 1
    [ "$(plain "$work/out" | wc -l)" -eq 1 ] || fail "more than one line"
    standin_kit "$work/kit;semicolon"
    run_kit terminal "$work/kit;semicolon" "$work/semicolon"
    ended "$work/semicolon" $? "0 passed, 1 failed" 1
    plain "$work/semicolon" | head -1 | grep -q '^run-tests: the kit.s folder name has a ";"' &&
        [ "$(plain "$work/semicolon" | wc -l)" -eq 2 ] || fail "no refusal in one line"
    # TEMP is users\NAME\Temp under Wine 8, ...\AppData\Local\Temp under 10.
    local locks=("$WINEPREFIX/drive_c/users/$(id -un)/"{Temp,AppData/Local/Temp}/cellattr-kit.lock)
    for lock in "${locks[@]}"; do [ ! -d "${lock%/*}" ] || mkdir -p "$lock"; done
    run_kit terminal "$kit" "$work/locked"
    ended "$work/locked" $? "0 passed, 1 failed" 1
    plain "$work/locked" | head -1 | grep -q '^run-tests: cannot open the lock file ".*cellattr-kit.lock", which keeps two runs apart: .*(error 5)\.$' ||
        fail "no line on the lock file, with the system's words"
    for lock in "${locks[@]}"; do [ ! -d "$lock" ] || rmdir "$lock"; done
    run_kit pseudoconsole "$kit" "$work/wrong" "/expect classic"
    ended "$work/wrong" $? "0 passed, 1 failed" 1
    # Wine 8's console host starts the desktop and leaks our pipe; Wine 10's
    # does not, and there the read ends by itself.
    case "$("$WINE" --version 2>/dev/null)" in
    wine-[0-8].*)
        has "$work/err" "pseudoconsole: the read of the pseudoconsole's output did not end within 5 s of the command's end; ending with the command's exit code" ;;
    *) ! grep -q '^pseudoconsole:' "$work/err" || fail "pseudoconsole.exe said: $(grep '^pseudoconsole:' "$work/err")" ;;
    esac
}

check="${1:-}"
[ "$check" != --list ] || { printf '%s\n' "${checks[@]}"; exit 0; }
[[ " prepare ${checks[*]} " == *" $check "* ]] || { echo "usage: tools/kit-test.sh prepare|--list|CHECK" >&2; exit 2; }
source "$root/tools/wine-env.sh"
if [ "$check" = prepare ]; then prepare; else begin; "check_$check"; fi
echo "kit-test: $check: passed"
