#!/bin/bash
# Benchmarks, and the figures derived from them.
#   1. Native (Google Benchmark, optimized tree build/bench): the tokenizer,
#      the formatter and the whole @CELLATTR on the simulated console; its
#      medians, then the formatter's speedups and 1024/64-cell ratios
#      against their targets (tools/bench_figures.py, from the JSON report).
#   2. Under Wine on a pseudo-terminal: @CELLATTR against the bare console
#      calls (bench/console_cost_win.cpp), reported, not held to a target:
#      a console's timings belong to the console.
# BENCH_REPETITIONS (default 5) and BENCH_MIN_TIME (seconds, default 0.1) set
# the native runs; BENCH_ROUNDS (default 2001) the console rounds.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

repetitions="${BENCH_REPETITIONS:-5}"
min_time="${BENCH_MIN_TIME:-0.1}"
rounds="${BENCH_ROUNDS:-2001}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"

# The test trees are built as whoever configured them chose; benchmarks get
# a tree of their own that is always optimized.  It is configured every time,
# which also looks again for a Google Benchmark installed since the last run.
mkdir -p build
configure_quietly build/bench.configure.log -S . -B build/bench -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCELLATTR_TESTS=OFF -DCELLATTR_FUZZ=OFF -DCELLATTR_BENCH=ON ||
    exit 1
echo "== building build/bench"
cmake --build build/bench --target bench --parallel "$build_jobs" >"$work/build.log" 2>&1 ||
    { cat "$work/build.log"; echo "bench: the native benchmarks did not build" >&2; exit 1; }

echo "== native benchmarks (median of $repetitions repetitions, CPU time)"
# The repetitions run interleaved in random order, so that a slow spell of
# the machine is shared among the benchmarks rather than spoiling one.  The
# figures come from the JSON report, which holds every run; the console's
# table of medians is for people.
build/bench/bin/bench --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" --benchmark_display_aggregates_only=true \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$work/bench.json" --benchmark_out_format=json ||
    { echo "bench: the native benchmarks failed" >&2; exit 1; }
# The tables.  A missed target's verdict waits until the console's cost is
# shown; an unreadable report or a failed benchmark (status 2) stops here.
python3 tools/bench_figures.py "$work/bench.json" 2>"$work/figures.log"
figures_ok=$?
if [ $figures_ok -ne 0 ] && [ $figures_ok -ne 1 ]; then
    cat "$work/figures.log" >&2
    exit 1
fi

# The console's own cost, under Wine.
echo
echo "== console cost, under wine ($rounds rounds, $(nproc) cores)"
console_ok=0
configure_quietly build/win.configure.log --preset win || console_ok=1
if [ $console_ok -eq 0 ]; then
    if cmake --build build/win --target console_cost --parallel "$build_jobs" \
        >"$work/win-build.log" 2>&1; then
        tools/wine-run.sh build/win/bin/console_cost.exe "$rounds" ||
            { echo "bench: the console cost program failed" >&2; console_ok=1; }
    else
        cat "$work/win-build.log"
        echo "bench: the console cost program did not build" >&2
        console_ok=1
    fi
fi

echo
if [ $figures_ok -ne 0 ]; then
    cat "$work/figures.log" >&2
    [ -s "$work/figures.log" ] || echo "bench: the native figures' check failed" >&2
    exit 1
fi
[ $console_ok -eq 0 ] || exit 1
echo "bench: done"
