#!/bin/bash
# The module's coverage (query/, support/, host/): which of its lines and
# branches the tests run, counted by gcov in two trees of their own (presets
# coverage-native and coverage-win: unoptimized, instrumented, never the
# release): the native suite, and the Windows suites under Wine as CTest
# runs them, so that the DLL's own lines count as Windows runs them.  gcovr
# merges both per source line into build/coverage/index.html.  What no test
# can run is excluded where it stands, with its reason, by gcovr's own
# markers (GCOVR_EXCL_LINE, GCOVR_EXCL_BR_LINE).
#   tools/coverage.sh native|win        builds that tree and runs its suites
#   tools/coverage.sh report [--every-line]
#                                       gcovr's report over both trees; with
#                                       --every-line (make test) it fails
#                                       unless every line and branch ran
#   tools/coverage.sh [--every-line]    all three (make coverage)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh
out=build/coverage

fail() {  # why
    echo "coverage: $1" >&2
    exit 1
}

tree() {  # native or win
    local preset="coverage-$1" tree="build/coverage-$1"
    mkdir -p build
    configure_quietly "$tree.configure.log" --preset "$preset" || fail "cannot configure $tree"
    cmake --build --preset "$preset" --parallel "$build_jobs" >"$tree.build.log" 2>&1 ||
        { cat "$tree.build.log"; fail "cannot build $tree"; }
    # Counts left from an earlier run would be added in.
    find "$tree" -name '*.gcda' -delete
    ctest --preset "$preset" --no-tests=error || fail "a suite of $tree failed"
}

report() {  # [--every-line]
    local threshold=() gcov
    [ "${1:-}" != --every-line ] || threshold=(--fail-under-line 100 --fail-under-branch 100)
    # The mingw compiler's own gcov, which reads what it wrote.
    gcov="$(type -P x86_64-w64-mingw32-gcov-posix x86_64-w64-mingw32-gcov | head -1)"
    [ -n "$gcov" ] || fail "the mingw compiler's gcov is missing; tools/setup.sh installs it"
    mkdir -p "$out"
    rm -f "$out"/*.json "$out"/*.html
    local common=(--root . --filter '(query|support|host)/' --exclude-unreachable-branches)
    gcovr "${common[@]}" --gcov-executable gcov --json "$out/native.json" build/coverage-native ||
        fail "gcovr cannot read build/coverage-native"
    gcovr "${common[@]}" --gcov-executable "$gcov" --json "$out/win.json" build/coverage-win ||
        fail "gcovr cannot read build/coverage-win"
    gcovr --root . --add-tracefile "$out/native.json" --add-tracefile "$out/win.json" \
        --html-details "$out/index.html" --txt - --print-summary "${threshold[@]}" ||
        fail "not every line and branch of the module was run: see above, and build/coverage/index.html"
}

case "${1:-}" in
native | win) tree "$1" ;;
report) report "${2:-}" ;;
"" | --every-line) tree native && tree win && report "${1:-}" ;;
*) echo "usage: tools/coverage.sh [native|win|report] [--every-line]" >&2; exit 2 ;;
esac
