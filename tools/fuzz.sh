#!/bin/bash
# The libFuzzer targets (clang, ASan and UBSan; the fuzz preset's tree,
# build/fuzz).  Each runs on a scratch copy of its seeds in
# fuzz/corpus/<target>/, so the repository is never changed; a finding is
# kept in build/fuzz/artifacts/<target>/ and its report printed.
#   tools/fuzz.sh build                  configures and builds build/fuzz
#   tools/fuzz.sh run TARGET SECONDS     one target (tokenizer, cellattr);
#                                        0 seconds runs the seeds only
#   tools/fuzz.sh SECONDS                both, after building (make fuzz)
# Exits with 0 when every run found nothing, 1 otherwise.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

targets=(tokenizer cellattr)

build() {
    # Configured every time, so that a changed option takes effect; where
    # it fails, the tree goes, so that the compilers are looked up anew.
    mkdir -p build
    configure_quietly build/fuzz.configure.log --preset fuzz || { rm -rf build/fuzz; return 1; }
    cmake --build --preset fuzz --parallel "$build_jobs" >build/fuzz.build.log 2>&1 ||
        { cat build/fuzz.build.log; return 1; }
}

run() {  # target, seconds
    local target="$1" seconds="$2" work rc limit
    [[ " ${targets[*]} " == *" $target "* ]] && [[ "$seconds" =~ ^[0-9]+$ ]] ||
        { echo "usage: tools/fuzz.sh build | run TARGET SECONDS | SECONDS" >&2; return 2; }
    [ -x "build/fuzz/bin/${target}_fuzz" ] || { echo "fuzz: build/fuzz has no ${target}_fuzz: run tools/fuzz.sh build" >&2; return 1; }
    work="$(mktemp -d)"
    cp -r "fuzz/corpus/$target/." "$work/"
    local artifacts="build/fuzz/artifacts/$target/"
    mkdir -p "$artifacts"
    limit=(-max_total_time="$seconds")
    [ "$seconds" -gt 0 ] || limit=(-runs=0)
    # Every finding aborts; leaks count as findings too.  max_len lets an
    # input reach past the tokenizer's 8,192-character buffer; the timeout
    # catches a call that never returns.  The sanitized target runs without
    # address randomization, as tools/no-aslr.sh says why.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        tools/no-aslr.sh "build/fuzz/bin/${target}_fuzz" "${limit[@]}" -max_len=20000 -timeout=20 \
        -rss_limit_mb=2048 -artifact_prefix="$artifacts" -print_final_stats=1 "$work" >"$work.log" 2>&1
    rc=$?
    if [ $rc -eq 0 ]; then
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$work.log"
    else
        # The report starts at the sanitizer's or our own first line.
        local report
        report=$(grep -n -m1 -E '^==[0-9]+==|invariant broken|^ALARM|^SUMMARY|deadly signal' \
            "$work.log" | cut -d: -f1)
        tail -n +"${report:-1}" "$work.log" | head -80
        echo "fuzz: $target found the above; the input is kept in $artifacts"
    fi
    rm -rf "$work" "$work.log"
    return $rc
}

case "${1:-}" in
build) build ;;
run) run "${2:-}" "${3:-}" ;;
*)
    [[ "${1:-}" =~ ^[0-9]+$ ]] || { echo "usage: tools/fuzz.sh build | run TARGET SECONDS | SECONDS" >&2; exit 2; }
    build || exit 1
    status=0
    for target in "${targets[@]}"; do
        echo "== $target, $1 s"
        run "$target" "$1" || status=1
    done
    exit $status
    ;;
esac
