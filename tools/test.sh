#!/bin/bash
# make test and make check, once tools/build.sh has built the trees: CTest
# runs the steps that cmake/checks.cmake makes tests of the native tree, two
# at a time, prints each one's result and seconds as it ends, and closes
# with its own summary ("100% tests passed, 0 tests failed out of N", the
# tests that failed or did not run listed by name).
#   tools/test.sh test     every suite and step (make test)
#   tools/test.sh check    the inner loop (make check)
# Exits non-zero when a test failed, and under CI=true also when one was
# skipped: a clean checkout gives nothing a reason to be skipped.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset="${1:-test}"
[[ "$preset" =~ ^(test|check)$ ]] || { echo "usage: tools/test.sh [test|check]" >&2; exit 2; }

# GoogleTest's settings in this environment would change what the suites
# run (a filter, a shard), and CTest would count what is left as the whole.
for variable in $(compgen -e | grep -iE '^(GTEST_|TESTBRIDGE_)'); do
    unset "$variable"
done

results="$root/build/$preset-results.xml"
rm -f "$results"
ctest --preset "$preset" --output-junit "$results"
rc=$?
[ $rc -eq 0 ] && [ "${CI:-}" = true ] || exit $rc
# CTest's own report of the run says how many it skipped, and the list
# above which.
skipped="$(grep -m1 -o '^[[:space:]]*skipped="[0-9]*"' "$results" | grep -o '[0-9]*')"
[ -n "$skipped" ] || { echo "make $preset: CTest's report ($results) says nothing of skips"; exit 1; }
if [ "$skipped" -ne 0 ]; then
    echo "make $preset: $skipped tests skipped, which fails the run under CI=true"
    exit 1
fi
