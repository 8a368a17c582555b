#!/bin/bash
# Configures and builds the three trees: native, native with sanitizers, and
# Windows (cross-built), as the presets of CMakePresets.json set them.  Each
# is configured on every run, so that a changed preset takes effect.  The
# DLL's build stamp is the time of the commit checked out (SOURCE_DATE_EPOCH,
# when set, wins): see cmake/build_stamp.cmake.
#   tools/build.sh        every tree, whole
#   tools/build.sh win    the Windows tree, whole (make dist)
#   tools/build.sh demo   only what the demo runs: the Windows tree's
#                         CellAttr.dll, stand-in TakeCmd.dll and cmdproc.exe
# Each tree's line says how long it took.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

presets=(native asan win)
targets=()
case "${1:-all}" in
all) ;;
win) presets=(win) ;;
demo) presets=(win) targets=(--target CellAttr TakeCmd cmdproc) ;;
*) echo "usage: tools/build.sh [win|demo]" >&2; exit 2 ;;
esac

mkdir -p build
for preset in "${presets[@]}"; do
    configure_quietly "build/$preset.configure.log" --preset "$preset" || exit 1
done

# The trees build side by side, each as many jobs as there are cores: one
# tree's links and custom steps, which run alone, leave cores to the others.
# Each tree's output is shown once it has ended, Ninja's progress lines
# dropped.
build() {  # preset
    local start=$SECONDS rc=0
    cmake --build --preset "$1" "${targets[@]}" --parallel "$build_jobs" >"build/$1.build.log" 2>&1 ||
        rc=$?
    grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: no work to do)' "build/$1.build.log" || true
    if [ $rc -eq 0 ]; then
        echo "== built build/$1 ($((SECONDS - start)) s)"
    else
        echo "== build/$1 failed ($((SECONDS - start)) s)"
    fi
    return $rc
}
pids=()
for preset in "${presets[@]}"; do
    build "$preset" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
