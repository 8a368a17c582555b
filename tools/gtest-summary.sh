# gtest-summary.sh - sourced by the scripts that run GoogleTest programs (or
# report in GoogleTest's words): reading what a program printed, by the same
# rules as the test kit's run-tests.cmd.  A count that is not there, or that
# does not add up, is never read as a pass.

# Prints how many tests a --gtest_list_tests listing names: its lines
# indented by two blanks (suite names and anything else are not).
gtest_listed() {  # file
    local n
    n=$(tr -d '\r' < "$1" | grep -c '^  [^ ]') || true
    echo "${n:-0}"
}

# Prints "PASSED FAILED SKIPPED" from a run's summary: "[==========] R tests
# from ... ran.", "[  PASSED  ] P tests." and, when printed, "[  SKIPPED ] S
# tests..." and "[  FAILED  ] F tests, listed below:" (else F is R - P - S).
# Returns 1, printing nothing, when the summary is missing or incomplete, or
# when P, F and S do not make up R.
gtest_counts() {  # file
    local text ran passed failed skipped
    text="$(tr -d '\r' < "$1")"
    ran=$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' <<<"$text" | tail -1)
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\.$/\1/p' <<<"$text" | tail -1)
    skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9][0-9]*\) tests\{0,1\}\(\.\|, listed below:\)$/\1/p' <<<"$text" | tail -1)
    failed=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below:$/\1/p' <<<"$text" | tail -1)
    [ -n "$ran" ] && [ -n "$passed" ] || return 1
    skipped="${skipped:-0}"
    [ -n "$failed" ] || failed=$((ran - passed - skipped))
    [ $((passed + failed + skipped)) -eq "$ran" ] && [ "$failed" -ge 0 ] || return 1
    echo "$passed $failed $skipped"
}

# Prints a summary in GoogleTest's words, for a script whose checks are
# counted as tests: PASSED passed and FAILED failed, the names given among
# the failed.
gtest_report() {  # passed failed [failed-name...]
    local passed="$1" failed="$2"
    shift 2
    echo "[==========] $((passed + failed)) tests from 1 test suite ran."
    echo "[  PASSED  ] $passed tests."
    if [ "$failed" -gt 0 ]; then
        echo "[  FAILED  ] $failed tests, listed below:"
        printf '[  FAILED  ] %s\n' "$@"
    fi
}
