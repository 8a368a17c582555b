#!/bin/bash
# Every test: the native suites (plain and under ASan+UBSan), the Windows
# suites under Wine, and the end-to-end runs.  Prints each suite's summary,
# then one line of totals; exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

passed=0
failed=0
failures=()

# Runs one GoogleTest program (through a launcher, if given) and adds its
# counts to the totals.
run_suite() {  # name, command...
    local name="$1"
    shift
    local log
    log="$(mktemp)"
    echo "== $name"
    "$@" --gtest_brief=1 >"$log" 2>&1
    local rc=$?
    grep -v '^Running main' "$log"
    local p f
    local ran
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$log" | tail -1)
    p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log" | tail -1)
    f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' "$log" | tail -1)
    # Brief output may leave out the failure count: it is what did not pass.
    [ -z "$f" ] && [ -n "$ran" ] && f=$((ran - ${p:-0}))
    [ "$f" = 0 ] && f=
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-0}))
    if [ $rc -ne 0 ]; then
        failures+=("$name")
        [ -z "$f" ] && failed=$((failed + 1))  # crashed before its summary
    fi
    rm -f "$log"
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite "native" build/native/bin/cellattr_tests
run_suite "native, sanitized" build/asan/bin/cellattr_tests
run_suite "windows, under wine" tools/wine-run.sh build/win/bin/cellattr_tests.exe
# The help box is a real window: this suite runs under an X server.
run_suite "windows plugin entry points, under wine and xvfb" \
    xvfb-run -a tools/wine-run.sh build/win/bin/cellattr_plugin_tests.exe
run_suite "windows without a console, under wine" \
    tools/wine-run.sh build/win/bin/cellattr_detached_tests.exe

# End to end: the stand-in command processor runs the batch files of e2e/
# with the real CellAttr.dll under Wine (Wine sees / as drive Z:).
e2e_folder="Z:${root//\//\\}\\e2e"
run_suite "end to end, under wine" \
    tools/wine-run.sh build/win/bin/cellattr_e2e_tests.exe "$e2e_folder"
# The console drawn as a picture by cmdproc's snap, rendered and checked.
run_suite "picture of the console, under wine" tools/picture-test.sh

# Each fuzz target for a short bounded time, so that CI exercises them.
[ -x tools/fuzz.sh ] && run_suite "fuzzing" tools/fuzz.sh "${TEST_FUZZ_SECONDS:-10}"

echo
if [ ${#failures[@]} -gt 0 ]; then
    echo "failing suites: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
[ ${#failures[@]} -eq 0 ] && [ "$failed" -eq 0 ]
