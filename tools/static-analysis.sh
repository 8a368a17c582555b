#!/bin/bash
# Static analysis of the module (query/, support/, host/): clang-tidy and
# cppcheck over its sources as the native tree and the Windows tree compile
# them (the compile_commands.json of build/native and build/win, as
# tools/build.sh configured them), so that the Windows-only files are read
# too.
# Fails on any finding, and when a tool is missing, runs no check or reads
# fewer files than the module has.  A false positive is suppressed where it
# stands, with its reason: "// NOLINT(check): why" for clang-tidy,
# "// cppcheck-suppress id ; why" on the line before for cppcheck.
# Ends with one line, "static-analysis: ...", saying what was read.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# The checks, fixed.  Whole groups, so that no name in the list is one that
# clang-tidy 14 (Debian 12) or 19 (Debian 13) lacks; the newer simply runs
# more of them.  bugprone-easily-swappable-parameters is left out: it flags
# any two adjacent parameters of one type, which is how the module's
# signatures mirror the Windows and host calls they wrap.
tidy_checks='-*,bugprone-*,cert-*,clang-analyzer-*,performance-*,portability-*,-bugprone-easily-swappable-parameters'
cppcheck_enable=warning,performance,portability

fail() {  # why
    echo "static-analysis: $1" >&2
    exit 1
}

for tool in clang-tidy cppcheck python3 x86_64-w64-mingw32-g++-posix; do
    command -v "$tool" >/dev/null || fail "$tool is missing; tools/setup.sh installs it"
done
# cppcheck 2.11 and later follow only so many branches unless told to follow
# all, and say so in a line that fails the run; earlier ones follow all.
# (Its help is read whole first: grep -q would stop reading early, and
# under pipefail the cut-off cppcheck would fail the test.)
cppcheck_depth=()
cppcheck_help="$(cppcheck --help 2>&1)"
[[ "$cppcheck_help" != *--check-level* ]] || cppcheck_depth=(--check-level=exhaustive)
# Every group must give the running clang-tidy at least one check.
listed="$(clang-tidy --checks="$tidy_checks" --list-checks 2>/dev/null)" ||
    fail "clang-tidy cannot list its checks"
for group in bugprone cert clang-analyzer performance portability; do
    grep -q "^ *$group-" <<<"$listed" || fail "clang-tidy runs no $group check"
done
tidy_count=$(grep -c '^ *[a-z]' <<<"$listed")

mkdir -p build
mapfile -t module < <(git ls-files 'query/*.cpp' 'support/*.cpp' 'host/*.cpp')
[ ${#module[@]} -gt 0 ] || fail "git lists no source of the module"

# The mingw compiler's C++ library, which clang does not find by itself
# beside Debian's versioned folder names (12-posix).
mingw_cxx=()
while read -r dir; do
    mingw_cxx+=(--extra-arg=-isystem"$dir")
done < <(echo | x86_64-w64-mingw32-g++-posix -x c++ -E -v - 2>&1 |
    sed -n '/search starts here/,/End of search/p' | grep '^ .*/c++')
[ ${#mingw_cxx[@]} -gt 0 ] || fail "the mingw compiler names no C++ library folder"

findings=0
read_files=()
for preset in native win; do
    tree="build/$preset"
    [ -s "$tree/compile_commands.json" ] || fail "$tree has no compile_commands.json: run tools/build.sh"
    mapfile -t files < <(python3 - "$tree/compile_commands.json" "${module[@]}" <<'EOF'
import json, os, sys
compiled = {os.path.realpath(entry["file"]) for entry in json.load(open(sys.argv[1]))}
for name in sys.argv[2:]:
    if os.path.realpath(name) in compiled:
        print(name)
EOF
    )
    [ ${#files[@]} -gt 0 ] || fail "$tree compiles no source of the module"
    read_files+=("${files[@]}")

    extra=()
    cppcheck_platform=(--platform=unix64)
    if [ "$preset" = win ]; then
        # The target comes from the compiler's name in the compile commands.
        extra=(--extra-arg=-nostdinc++ "${mingw_cxx[@]}")
        cppcheck_platform=(--platform=win64 --library=windows -D_WIN32 -D_WIN64)
    fi
    echo "== clang-tidy, $tree: ${files[*]}"
    clang-tidy -p "$tree" --quiet --checks="$tidy_checks" --warnings-as-errors='*' \
        --header-filter="^$root/(query|support|host)/" "${extra[@]}" "${files[@]}" \
        >"$tree.clang-tidy.log" 2>&1
    rc=$?
    grep -vE '^[0-9]+ (warnings?|errors?) generated\.$' "$tree.clang-tidy.log"
    n=$(grep -cE '(warning|error): ' "$tree.clang-tidy.log")
    [ "$rc" -eq 0 ] || [ "$n" -gt 0 ] || n=1  # failed without saying why: one finding
    findings=$((findings + n))

    echo "== cppcheck, $tree"
    filters=()
    for dir in query support host; do
        filters+=(--file-filter="$root/$dir/*")
    done
    # A project given by a relative path matches no filter.
    cppcheck --project="$root/$tree/compile_commands.json" --enable="$cppcheck_enable" --inline-suppr \
        --error-exitcode=1 "${cppcheck_platform[@]}" "${cppcheck_depth[@]}" "${filters[@]}" \
        --template='{file}:{line}:{column}: {severity}: {message} [{id}]' >"$tree.cppcheck.log" 2>&1
    rc=$?
    grep -vE '^Checking |^[0-9]+/[0-9]+ files checked' "$tree.cppcheck.log"
    n=$(grep -cE ': (error|warning|performance|portability|style): ' "$tree.cppcheck.log")
    [ "$rc" -eq 0 ] || [ "$n" -gt 0 ] || n=1
    for name in "${files[@]}"; do
        grep -qxF "Checking $root/$name ..." "$tree.cppcheck.log" ||
            { echo "cppcheck did not read $name"; n=$((n + 1)); }
    done
    findings=$((findings + n))
done

# Every source of the module must have been read in one tree or the other.
for name in "${module[@]}"; do
    printf '%s\n' "${read_files[@]}" | grep -qxF "$name" || fail "no tree compiles $name"
done

if [ "$findings" -gt 0 ]; then
    echo "static-analysis: $findings findings"
    exit 1
fi
echo "static-analysis: ${#module[@]} files of the module in 2 trees, $tidy_count clang-tidy checks" \
    "and cppcheck ($cppcheck_enable): nothing found"
