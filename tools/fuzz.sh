#!/bin/bash
# Builds the libFuzzer targets (clang, ASan+UBSan, in build/fuzz) and runs
# each for SECONDS on a scratch copy of its seeds in fuzz/corpus/<target>/,
# so the repository is never changed.  A finding is kept in
# build/fuzz/artifacts/<target>/ and its report printed.  SECONDS of 0 runs
# the seeds only.  Ends with GoogleTest's summary lines, one "test" a target,
# and exits non-zero on any finding or build failure.
#   tools/fuzz.sh SECONDS [--gtest_brief=1]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

seconds="${1:-60}"
shift || true
brief=0
for arg in "$@"; do
    case "$arg" in
    --gtest_brief=1) brief=1 ;;
    --gtest_brief=0) brief=0 ;;
    *) echo "fuzz.sh: unknown argument $arg" >&2; exit 2 ;;
    esac
done
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
    echo "usage: tools/fuzz.sh SECONDS [--gtest_brief=1]" >&2
    exit 2
fi

targets=(tokenizer cellattr)
dir=build/fuzz
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failed=()
stats=()
summary() {
    local passed=$((${#targets[@]} - ${#failed[@]}))
    echo "[==========] ${#targets[@]} tests from 1 test suite ran. (fuzz targets, ${what:-not run}: ${stats[*]:-none passed})"
    if [ ${#failed[@]} -eq 0 ]; then
        echo "[  PASSED  ] $passed tests."
        exit 0
    fi
    [ $passed -gt 0 ] && echo "[  PASSED  ] $passed tests."
    echo "[  FAILED  ] ${#failed[@]} tests, listed below:"
    for t in "${failed[@]}"; do
        echo "[  FAILED  ] $t"
    done
    exit 1
}

# The tree of its own: clang is the only compiler with libFuzzer.  It is
# configured every time, so that a changed option takes effect.
mkdir -p build
CC=clang CXX=clang++ configure_quietly "$dir.configure.log" -S . -B "$dir" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCELLATTR_FUZZ=ON -DCELLATTR_TESTS=OFF \
    -DCELLATTR_BENCH=OFF || {
    rm -rf "$dir"  # start afresh next time, with the compilers looked up anew
    failed=("${targets[@]}")
    summary
}
build_targets=()
for t in "${targets[@]}"; do
    build_targets+=("${t}_fuzz")
done
if ! cmake --build "$dir" --target "${build_targets[@]}" --parallel "$build_jobs" \
    >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    failed=("${targets[@]}")
    summary
fi

# Every finding aborts; leaks count as findings too.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if [ "$seconds" -eq 0 ]; then
    limit=(-runs=0)
    what="the seeds only"
else
    limit=(-max_total_time="$seconds")
    what="$seconds s each"
fi
[ $brief -eq 0 ] && echo "[==========] Running ${#targets[@]} fuzz targets, $what."

for t in "${targets[@]}"; do
    corpus="$work/corpus-$t"
    artifacts="$dir/artifacts/$t/"
    mkdir -p "$corpus" "$artifacts"
    cp -r "fuzz/corpus/$t/." "$corpus/"
    [ $brief -eq 0 ] && echo "[ RUN      ] $t"
    start=$(date +%s%N)
    # max_len lets an input reach past the tokenizer's 8,192-character
    # buffer; the timeout catches a call that never returns.  The sanitized
    # target runs without address randomization, as tools/no-aslr.sh says why.
    tools/no-aslr.sh "$dir/bin/${t}_fuzz" "${limit[@]}" -max_len=20000 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" >"$work/$t.log" 2>&1
    rc=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log" | tail -1)
    added=$(sed -n 's/^stat::new_units_added: *//p' "$work/$t.log" | tail -1)
    if [ $rc -eq 0 ]; then
        stats+=("$t ${runs:-?} runs")
        [ $brief -eq 0 ] &&
            echo "  ${runs:-?} runs, ${added:-0} new inputs found" &&
            echo "[       OK ] $t ($ms ms)"
    else
        failed+=("$t")
        # The report starts at the sanitizer's or our own first line.
        report=$(grep -n -m1 -E '^==[0-9]+==|invariant broken|^ALARM|^SUMMARY|deadly signal' \
            "$work/$t.log" | cut -d: -f1)
        tail -n +"${report:-1}" "$work/$t.log" | head -80
        echo "  the input that failed is kept in $artifacts"
        echo "[  FAILED  ] $t ($ms ms)"
    fi
done

summary
