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

for preset in "${presets[@]}"; do
    start=$SECONDS
    # Ninja's progress lines are dropped; the build's own status decides
    # (pipefail), never grep's, which fails when it has nothing to print.
    cmake --build --preset "$preset" "${targets[@]}" --parallel "$build_jobs" |
        { grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: no work to do)' || true; } || exit 1
    echo "== built build/$preset ($((SECONDS - start)) s)"
done
