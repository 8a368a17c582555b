#!/bin/bash
# Every test: the native suites (plain and under ASan+UBSan), the release
# and the Windows test kit run under Wine, the picture test and the fuzzers.
# Prints each suite's summary, then one line of totals; exits non-zero on any
# failure.
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

# Runs a step that is not a GoogleTest program as one test: it passes when
# it exits with 0; its output is shown when it fails.
run_step() {  # name, command...
    local name="$1"
    shift
    local log
    log="$(mktemp)"
    echo "== $name"
    if "$@" >"$log" 2>&1; then
        passed=$((passed + 1))
        grep -E '^dist: ' "$log"
    else
        cat "$log"
        failed=$((failed + 1))
        failures+=("$name")
    fi
    rm -f "$log"
}

run_step "usage texts in step" python3 tools/check-usage.py
# The release: both zips and SHA256SUMS in dist/, and a clean clone built in
# another folder with the clock moved must give the same bytes.
run_step "release (make dist), reproduced byte for byte" tools/dist.sh
# The Windows suites, as a user runs them: the test kit unpacked and its
# run-tests.cmd run by Wine's cmd.exe on a console, under an X server for the
# help box.  It holds the real-console cases, the entry points and the help
# box, the process without a console and the end to end batch files.
run_suite "windows test kit, through wine's cmd.exe" tools/kit-test.sh

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
