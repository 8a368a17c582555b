#!/bin/bash
# The release in dist/, the plugin's zip, the test kit's and SHA256SUMS, as
# docs/development.md describes them, from the Windows tree (build/win, as
# tools/build.sh left it; configured here only where it is not).  The build
# stamp is the commit's time (SOURCE_DATE_EPOCH, when set, wins), and the
# zips take their dates from it too, so one commit gives the same bytes
# anywhere.
#
# Then it checks that: a clean clone of the same commit, made in another
# folder and built with the clock 400 days ahead (faketime), must give
# byte-identical zips.  Where it cannot be made (uncommitted changes, which a
# clone of the commit cannot have, or no git checkout) the script says why
# the check was skipped and exits with 77, so that no caller takes the skip
# for a pass.
#   tools/dist.sh               the release, then the check
#   tools/dist.sh --no-check    the release alone
#   tools/dist.sh --reproduce   the check alone, of the release in dist/
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

make=1 check=1
case "${1:-}" in
"") ;;
--no-check) check=0 ;;
--reproduce) make=0 ;;
*) echo "usage: tools/dist.sh [--no-check | --reproduce]" >&2; exit 2 ;;
esac

user_epoch="${SOURCE_DATE_EPOCH:-}"
in_git=1
commit_time="$(git log -1 --format=%ct 2>/dev/null)" || in_git=0
if [ -z "$user_epoch" ] && [ $in_git -eq 0 ]; then
    echo "dist: not a git checkout: the release is dated now and cannot be reproduced"
    commit_time="$(date +%s)"
fi
[ $in_git -eq 1 ] || echo "dist: not a git checkout: the test kit takes every file in e2e/"
export SOURCE_DATE_EPOCH="${user_epoch:-$commit_time}"
# What the kit runs, beside the stand-in host they need: its runner, the
# suites of kit/suites.txt, and the programs they start.
kit_programs=(cellattr-kit.exe TakeCmd.dll CellAttr.dll cmdproc.exe pseudoconsole.exe console_cost.exe)
while read -r suite _; do
    kit_programs+=("$suite.exe")
done < <(grep -v '^#' kit/suites.txt)

fail() {  # why
    echo "dist: $1" >&2
    exit 1
}

mkdir -p build
[ -f build/win/CMakeCache.txt ] || configure_quietly build/win.configure.log --preset win || exit 1
# The version as project() in CMakeLists.txt states it, which the configure
# step writes down.
version="$(cat build/win/version.txt 2>/dev/null)" || fail "build/win/version.txt is missing"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "build/win/version.txt holds \"$version\""
repository="$(cat build/win/repository.txt 2>/dev/null)" || fail "build/win/repository.txt is missing"
[[ "$repository" =~ ^[A-Za-z0-9_.-]+/[A-Za-z0-9_.-]+$ ]] || fail "build/win/repository.txt holds \"$repository\""
plugin_zip="CellAttr-$version-win-x64.zip"
kit_zip="CellAttr-$version-win-x64-tests.zip"

# A text for Windows: CRLF line ends, the version where it says @VERSION@
# and the repository where it says @REPOSITORY@.
windows_text() {  # from, to
    sed -e "s/@VERSION@/$version/g" -e "s|@REPOSITORY@|$repository|g" -e 's/\r*$/\r/' "$1" > "$2"
}

release() {
    echo "== building build/win (the shipped DLL and the kit's programs)"
    targets=()
    for program in "${kit_programs[@]}"; do
        targets+=("${program%.*}")
    done
    cmake --build --preset win --target "${targets[@]}" --parallel "$build_jobs" \
        >build/dist.build.log 2>&1 ||
        { cat build/dist.build.log; fail "the Windows build failed"; }

    bin=build/win/bin
    stage=build/dist-stage
    rm -rf "$stage" dist
    mkdir -p "$stage" dist
    windows_text LICENSE "$stage/LICENSE"
    # The readmes take their shared parts from docs/usage.md.
    python3 tools/readme.py "release/README.txt=$stage/README.in" \
    "kit/README.txt=$stage/kit-README.in" || fail "the readmes could not be made"
    windows_text "$stage/README.in" "$stage/README.txt"
    windows_text "$stage/kit-README.in" "$stage/kit-README.txt"
    windows_text kit/run-tests.cmd "$stage/run-tests.cmd"
    windows_text kit/measure-cost.cmd "$stage/measure-cost.cmd"
    windows_text kit/run-demo.cmd "$stage/run-demo.cmd"
    windows_text demo/demo.btm "$stage/demo.btm"

    # Nothing of this machine may be in what ships but its name: no path of the
    # source or build tree, in either of the DLL's encodings of text.
    for program in "${kit_programs[@]}"; do
    # grep reads all its input here (no -q), so that pipefail sees no SIGPIPE.
    if grep -F "$root" "$bin/$program" >/dev/null ||
        strings -el "$bin/$program" | grep -F "$root" >/dev/null; then
        fail "$bin/$program holds the path $root"
    fi
    done
    # The version resource names the holder as LICENSE does.
    holder="$(grep -m1 '^Copyright' LICENSE)"
    strings -el "$bin/CellAttr.dll" | grep -xF "$holder" >/dev/null ||
    fail "CellAttr.dll's LegalCopyright is not LICENSE's \"$holder\""

    echo "== writing dist/"
    python3 tools/make_zip.py "dist/$plugin_zip" "$SOURCE_DATE_EPOCH" \
    "CellAttr.dll=$bin/CellAttr.dll" "LICENSE=$stage/LICENSE" "README.txt=$stage/README.txt"

    kit_entries=("run-tests.cmd=$stage/run-tests.cmd" "measure-cost.cmd=$stage/measure-cost.cmd"
             "run-demo.cmd=$stage/run-demo.cmd" "demo/demo.btm=$stage/demo.btm"
             "README.txt=$stage/kit-README.txt"
             "LICENSE=$stage/LICENSE")
    for program in "${kit_programs[@]}"; do
    kit_entries+=("stand-in-host/$program=$bin/$program")
    done
    # The end to end cases are the files git tracks in e2e/: a stray file there
    # must neither ship nor spoil the reproduction.  Outside a git checkout, every
    # file in the folder.
    case_files=()
    if [ $in_git -eq 1 ]; then
    while IFS= read -r -d '' path; do
        case_files+=("${path#e2e/}")
    done < <(git ls-files -z e2e)
    else
    while IFS= read -r -d '' name; do
        case_files+=("$name")
    done < <(cd e2e && find . -maxdepth 1 -type f -printf '%P\0' | LC_ALL=C sort -z)
    fi
    [ ${#case_files[@]} -gt 0 ] || fail "e2e/ holds no end to end cases"
    for case_file in "${case_files[@]}"; do
    [ -f "e2e/$case_file" ] || fail "e2e/$case_file is tracked by git but missing"
    kit_entries+=("e2e/$case_file=e2e/$case_file")
    done
    python3 tools/make_zip.py "dist/$kit_zip" "$SOURCE_DATE_EPOCH" "${kit_entries[@]}"
    (cd dist && sha256sum "$plugin_zip" "$kit_zip" > SHA256SUMS)

    names="$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
    "dist/$plugin_zip")"
    [ "$names" = "CellAttr.dll LICENSE README.txt" ] || fail "the plugin zip holds $names"
    cat dist/SHA256SUMS
}

[ $make -eq 0 ] || release
[ $check -eq 1 ] || exit 0
for file in "$plugin_zip" "$kit_zip" SHA256SUMS; do
    [ -f "dist/$file" ] || fail "dist/$file is missing: make the release first (tools/dist.sh --no-check)"
done
skip() {  # why
    echo "dist: reproduction skipped: $1"
    exit 77
}
[ $in_git -eq 1 ] || skip "not a git checkout, so there is no commit to clone"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    skip "the working tree has uncommitted changes, which a clean clone cannot have"
command -v faketime >/dev/null || fail "faketime is missing (tools/setup.sh installs it)"

echo "== reproducing: a clean clone in another folder, the clock 400 days ahead"
other="$(mktemp -d)"
trap 'rm -rf "$other"' EXIT
git clone -q --no-hardlinks "$root" "$other/CellAttr"
(
    cd "$other/CellAttr"
    git checkout -q "$(git -C "$root" rev-parse HEAD)"
    if [ -n "$user_epoch" ]; then
        export SOURCE_DATE_EPOCH="$user_epoch"
    else
        unset SOURCE_DATE_EPOCH  # the clone takes its commit's time itself
    fi
    faketime -f '+400d' tools/dist.sh --no-check >"$other/dist.log" 2>&1
) || { cat "$other/dist.log"; fail "the clean clone did not build"; }
for file in "$plugin_zip" "$kit_zip" SHA256SUMS; do
    cmp -s "dist/$file" "$other/CellAttr/dist/$file" ||
        fail "$file differs when built in $other/CellAttr with the clock 400 days ahead"
done
echo "dist: reproduced byte for byte"
