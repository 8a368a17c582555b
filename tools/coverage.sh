#!/bin/bash
# The module's coverage (query/, support/, host/): which of its lines and
# branches the tests run, counted by gcov in two trees: the native tree
# (build/native, which is unoptimized and counts the module) with its
# suite, and a Windows tree of its own (preset coverage-win: unoptimized,
# instrumented, never the release) with the Windows suites under Wine as
# CTest runs them, so that the DLL's own lines count as Windows runs them.
# gcovr merges both per source line into build/coverage/index.html.  What
# no test can run is excluded where it stands, with its reason, by gcovr's
# own markers (GCOVR_EXCL_LINE, GCOVR_EXCL_BR_LINE).
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
    local tree=build/$1
    if [ "$1" = native ]; then
        # As tools/build.sh built it: CTest runs this beside the native tree's
        # own tests, which another build must not disturb.
        [ -x "$tree/bin/cellattr_tests" ] || fail "$tree is not built: run tools/build.sh"
    else
        tree=build/coverage-win
        mkdir -p build
        configure_quietly "$tree.configure.log" --preset coverage-win || fail "cannot configure $tree"
        # Only what the suites run: the kit's helpers count nothing.
        cmake --build --preset coverage-win --target cellattr_tests cellattr_plugin_tests \
            cellattr_detached_tests cellattr_e2e_tests --parallel "$build_jobs" >"$tree.build.log" 2>&1 ||
            { cat "$tree.build.log"; fail "cannot build $tree"; }
    fi
    # Counts left from an earlier run would be added in.  (Runs of the
    # native suite that end meanwhile, make's own, can only add counts.)
    find "$tree" -name '*.gcda' -delete
    if [ "$1" = native ]; then
        "$tree/bin/cellattr_tests" --gtest_brief=1 || fail "the native suite failed"
    else
        ctest --preset coverage-win --no-tests=error || fail "a suite of $tree failed"
    fi
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
    gcovr "${common[@]}" --gcov-executable gcov --json "$out/native.json" build/native ||
        fail "gcovr cannot read build/native"
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
