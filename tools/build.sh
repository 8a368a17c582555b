#!/bin/bash
# Configures and builds the three trees: native, native with sanitizers, and
# Windows (cross-built), as the presets of CMakePresets.json set them.  The
# DLL's build stamp is the time of the commit checked out (SOURCE_DATE_EPOCH,
# when set, wins): see cmake/build_stamp.cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

configure() {  # preset
    local dir="build/$1"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake --preset "$1" >"$dir.configure.log" 2>&1 ||
            { cat "$dir.configure.log"; exit 1; }
    fi
}

mkdir -p build
for preset in native asan win; do
    configure "$preset"
done

for preset in native asan win; do
    echo "== building build/$preset"
    cmake --build --preset "$preset" -- -j2 | grep -vE '^\[[0-9]+/[0-9]+\] ' || true
    [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
