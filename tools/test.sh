#!/bin/bash
# Every test, as `make test` runs them (docs/development.md lists them).
# Prints each suite's summary, then one line of totals, "N passed, M
# failed", with ", K skipped" when anything did not run; exits non-zero on
# any failure, and under CI=true on any skip too.  The Windows suites count
# once, inside the test kit as users run it (tools/kit-test.sh); the coverage
# step runs them again, instrumented, for their lines alone.
#
# Nothing counts that was not seen: a GoogleTest program must list its tests
# and then report exactly those; every other suite must end with a complete
# summary in GoogleTest's words that agrees with its exit code.  A test or a
# step that did not run is a skip, never a pass, and says why in one line.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/gtest-summary.sh
# The counting reads GoogleTest's own lines, which a user's GTEST_COLOR=yes
# would put colour sequences in front of.  The kit is tried with it on
# (tools/kit-test.sh).
export GTEST_COLOR=no

passed=0
failed=0
skipped=0
failures=()
skips=()  # one line each: what was skipped, and why
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A suite that could not report: one failure, with one line saying why.
unreported() {  # name, why
    echo "** $1 counts as one failure: $2"
    failed=$((failed + 1))
    failures+=("$1")
}

# Adds the counts in the summary of LOG, a suite's output, to the totals.
# With LISTED, the summary must account for exactly that many tests.  A suite
# that cannot report, or whose exit code RC disagrees with its summary,
# counts as one failure, and nothing of it as passed.
count() {  # name, log, rc, [listed]
    local name="$1" log="$2" rc="$3" listed="${4:-}" counts p f s why=""
    if ! counts="$(gtest_counts "$log")"; then
        why="no complete GoogleTest summary (exit code $rc)"
    else
        read -r p f s <<<"$counts"
        if [ -n "$listed" ] && [ $((p + f + s)) -ne "$listed" ]; then
            why="it reports $((p + f + s)) tests, but lists $listed"
        elif [ "$f" -eq 0 ] && [ "$rc" -ne 0 ]; then
            why="exit code $rc, though it reports no failure"
        elif [ "$f" -ne 0 ] && [ "$rc" -eq 0 ]; then
            why="exit code 0, though it reports $f failed"
        fi
    fi
    if [ -n "$why" ]; then
        unreported "$name" "$why"
        return
    fi
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + s))
    [ "$f" -eq 0 ] || failures+=("$name")
    [ "$s" -eq 0 ] || skipped_tests "$name" "$log" "$s"
}

# One line for each of the S tests that a GoogleTest suite skipped, with the
# message that GoogleTest printed on the line after "...: Skipped".
skipped_tests() {  # name, log, s
    local name="$1" why n=0
    while IFS= read -r why; do
        skips+=("$name: ${why:-(no reason given)}")
        n=$((n + 1))
    done < <(tr -d '\r' <"$2" | sed -n '/: Skipped$/{n;p}' | head -n "$3")
    [ "$n" -ge "$3" ] || skips+=("$name: $(($3 - n)) more tests skipped without a message")
}

# Runs one CTest test of a preset and leaves its output, without CTest's own
# lines, in FILE; any further arguments are set in its environment (such as
# GTEST_BRIEF=1, which GoogleTest reads, and which CTest and Wine pass on).
# Returns CTest's exit code.
ctest_run() {  # preset, test, file, [VARIABLE=value...]
    local preset="$1" test="$2" file="$3"
    shift 3
    env "$@" ctest --preset "$preset" -R "^$test\$" -V >"$file.ctest" 2>&1
    local rc=$?
    sed -n 's/^[0-9][0-9]*: //p' "$file.ctest" |
        grep -vE '^(Test command|Working Directory|Environment variables|Test timeout)' >"$file"
    grep -q "^1/1 Test" "$file.ctest" || { cat "$file.ctest"; return 1; }
    return $rc
}

# The tests that a preset defines: a line each, its name and then its
# command, separated by tabs.
tests_of() {  # preset
    ctest --preset "$1" --show-only=json-v1 2>/dev/null | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    print("\t".join([test["name"]] + test["command"]))'
}

# Every test of a preset, each a GoogleTest program: its command lists its
# tests, then CTest runs them.
run_preset() {  # preset
    local preset="$1" line name command listed rc
    local -a tests
    mapfile -t tests < <(tests_of "$preset")
    if [ ${#tests[@]} -eq 0 ]; then
        unreported "$preset" "CTest has no tests in this preset"
        return
    fi
    for line in "${tests[@]}"; do
        IFS=$'\t' read -r -a command <<<"$line"
        name="${command[0]}"
        echo "== $name ($preset)"
        "${command[@]:1}" --gtest_list_tests >"$work/list" 2>&1
        rc=$?
        listed="$(gtest_listed "$work/list")"
        if [ "$rc" -ne 0 ] || [ "$listed" -eq 0 ]; then
            cat "$work/list"
            unreported "$name ($preset)" "it listed no tests (exit code $rc)"
            continue
        fi
        ctest_run "$preset" "$name" "$work/run" GTEST_BRIEF=1
        rc=$?
        grep -v '^Running main' "$work/run"
        count "$name ($preset)" "$work/run" "$rc" "$listed"
    done
}

# A script that reports in GoogleTest's words: what it says is counted.
run_script() {  # name, command...
    local name="$1"
    shift
    echo "== $name"
    "$@" >"$work/run" 2>&1
    local rc=$?
    cat "$work/run"
    count "$name" "$work/run" "$rc"
}

# A step that is not a suite counts as one test: it passes when it exits
# with 0, and is skipped when it exits with 77 (the convention of automake
# and CTest), its last line saying why; its output is shown when it fails.
run_step() {  # name, command...
    local name="$1" rc
    shift
    echo "== $name"
    "$@" >"$work/step" 2>&1
    rc=$?
    if [ $rc -ne 0 ] && [ $rc -ne 77 ]; then
        cat "$work/step"
        failed=$((failed + 1))
        failures+=("$name")
        return
    fi
    grep -E '^(dist|actionlint|workflow-dry-run|coverage|static-analysis): ' "$work/step"
    if [ $rc -eq 0 ]; then
        passed=$((passed + 1))
    else
        skipped=$((skipped + 1))
        skips+=("$name: $(tail -n 1 "$work/step")")
    fi
}

run_preset native
run_preset asan
# Every line of the module run by a test, natively or under Wine (the
# coverage trees' own runs), and nothing found in it by clang-tidy and
# cppcheck.
run_step "coverage: every line of the module run by a test" tools/coverage.sh --every-line
run_step "static analysis of the module (clang-tidy, cppcheck)" tools/static-analysis.sh

run_step "CI workflow, by actionlint" tools/lint-workflows.sh
# The release: both zips and SHA256SUMS in dist/, and a clean clone built in
# another folder with the clock moved must give the same bytes.
run_step "release (make dist), reproduced byte for byte" tools/dist.sh
# The Windows suites, as users run them: the test kit, under Wine's cmd.exe.
run_script "windows test kit, through wine's cmd.exe" tools/kit-test.sh
# The CI workflow's Windows job, step by step as a runner runs it, under Wine,
# on the kit just made.
run_step "CI workflow's windows job, dry run under wine" tools/workflow-dry-run.sh

echo "== picture (win)"
ctest_run win picture "$work/run"
rc=$?
cat "$work/run"
count "picture (win)" "$work/run" "$rc"

# Each fuzz target for a short bounded time, so that CI exercises them.
run_script "fuzzing" tools/fuzz.sh "${TEST_FUZZ_SECONDS:-10}" --gtest_brief=1

echo
[ ${#failures[@]} -eq 0 ] || echo "failing suites: ${failures[*]}"
[ ${#skips[@]} -eq 0 ] || printf 'skipped: %s\n' "${skips[@]}"
ok=1
[ ${#failures[@]} -eq 0 ] && [ "$failed" -eq 0 ] || ok=0
# CI checks a clean checkout, where nothing has a reason to be skipped.
if [ "$skipped" -gt 0 ] && [ "${CI:-}" = true ]; then
    echo "make test: $skipped skipped, which fails the run under CI=true"
    ok=0
fi
closing="$passed passed, $failed failed"
[ "$skipped" -eq 0 ] || closing+=", $skipped skipped"
echo "$closing"
[ $ok -eq 1 ]
