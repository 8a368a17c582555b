#!/bin/bash
# Configures and builds the three trees: native, native with sanitizers, and
# Windows (cross-built).  SOURCE_DATE_EPOCH, when set, fixes the build stamp.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

configure() {  # dir, extra cmake arguments...
    local dir="$1"
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 ||
            { cat "$dir.configure.log"; exit 1; }
    fi
}

mkdir -p build
configure build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DCELLATTR_SANITIZE=ON
configure build/win -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

for dir in build/native build/asan build/win; do
    echo "== building $dir"
    cmake --build "$dir" -- -j2 | grep -vE '^\[[0-9]+/[0-9]+\] ' || true
    [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
