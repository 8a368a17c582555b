#!/bin/bash
# The module's coverage (query/, support/, host/): which of its lines and
# branches the tests run, counted by gcov in two trees of their own (presets
# coverage-native and coverage-win: unoptimized, instrumented, never the
# release): the native suite, and the Windows suites under Wine as CTest
# runs them, so that the DLL's own lines count as Windows runs them.  gcovr
# merges both per source line and writes an HTML report to build/coverage/.
# What no test can run is listed, with its reason, in
# tools/coverage-exclusions.txt, which is applied here.
#
# Ends with one line:
#   coverage: lines L of T (P%), branches B of U (Q%)
# Exits 1 when a suite fails or the report cannot be read, and with
# --every-line (make test) also when a line of the module is run by no test.
#   tools/coverage.sh [--every-line]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source tools/build-env.sh

every_line=0
case "${1:-}" in
"") ;;
--every-line) every_line=1 ;;
*) echo "usage: tools/coverage.sh [--every-line]" >&2; exit 2 ;;
esac

out=build/coverage
exclusions=tools/coverage-exclusions.txt
fail() {  # why
    echo "coverage: not measured: $1"
    exit 1
}

for tool in gcovr gcov python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing; tools/setup.sh installs it"
done
# The mingw compiler's own gcov, which reads what it wrote.
mingw_gcov="$(type -P x86_64-w64-mingw32-gcov-posix x86_64-w64-mingw32-gcov | head -1)"
[ -n "$mingw_gcov" ] || fail "the mingw compiler's gcov is missing; tools/setup.sh installs it"

# Every suite, whole.
unset GTEST_FILTER
mkdir -p "$out"
for preset in coverage-native coverage-win; do
    tree="build/$preset"
    configure_quietly "$tree.configure.log" --preset "$preset" || fail "cannot configure $tree"
    cmake --build --preset "$preset" --parallel "$build_jobs" >"$tree.build.log" 2>&1 ||
        { cat "$tree.build.log"; fail "cannot build $tree"; }
    # Counts left from an earlier run would be added in, and the notes of an
    # object no longer instrumented would count as lines that no test ran.
    find "$tree" -name '*.gcda' -delete
    python3 - "$tree" <<'EOF' || fail "cannot read $tree/compile_commands.json"
import json, os, pathlib, shlex, sys
tree = pathlib.Path(sys.argv[1])
notes = set()
for e in json.load(open(tree / "compile_commands.json")):
    words = shlex.split(e["command"])
    if "--coverage" in words:
        obj = os.path.join(e["directory"], words[words.index("-o") + 1])
        notes.add(os.path.realpath(os.path.splitext(obj)[0] + ".gcno"))
if not notes:
    sys.exit("nothing in the tree is instrumented")
for gcno in tree.rglob("*.gcno"):
    if os.path.realpath(gcno) not in notes:
        gcno.unlink()
EOF
    # The picture test draws with build/win's programs: nothing of this tree.
    ctest --preset "$preset" --no-tests=error -E '^picture$' >"$out/$preset.ctest.log" 2>&1 ||
        { cat "$out/$preset.ctest.log"; fail "a suite of $tree failed"; }
    grep -qE '^100% tests passed, 0 tests failed out of [1-9]' "$out/$preset.ctest.log" ||
        { cat "$out/$preset.ctest.log"; fail "CTest did not report every suite of $tree passed"; }
done

# The exclusions: each entry names a file of the module and the whole text
# of one of its lines, which must stand exactly once in the module, so that
# an entry never reaches further than it says and never outlives its line.
patterns="$(python3 - "$exclusions" 2>"$out/exclusions.log" <<'EOF'
import pathlib, re, sys
lines, branches = [], []
module = [p for d in ("query", "support", "host") for p in sorted(pathlib.Path(d).iterdir())
          if p.suffix in (".cpp", ".h")]
entry = re.compile(r"(line|branch) ((?:query|support|host)/\S+): (.+?) -- (\S.*)$")
for n, text in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
    text = text.rstrip("\n")
    if not text.strip() or text.startswith("#"):
        continue
    m = entry.match(text)
    if not m:
        sys.exit(f"{sys.argv[1]}:{n}: not 'line|branch FILE: TEXT -- REASON'")
    kind, name, code, _ = m.groups()
    where = [(p, i) for p in module for i, l in enumerate(p.read_text().splitlines(), 1)
             if l.strip() == code]
    if [str(p) for p, _ in where] != [name]:
        sys.exit(f"{sys.argv[1]}:{n}: the line must stand once in {name} and nowhere else "
                 f"in the module; found {len(where)} times")
    (lines if kind == "line" else branches).append(re.escape(code))
# gcovr (5.2 and 7.2 alike) matches a pattern from the start of a line.
print(r"\s*(" + "|".join(lines) + r")\s*$" if lines else "")
print(r"\s*(" + "|".join(branches) + r")\s*$" if branches else "")
print(len(lines) + len(branches))
EOF
)" || fail "$exclusions cannot be applied: $(cat "$out/exclusions.log")"
{ read -r line_pattern; read -r branch_pattern; read -r entries; } <<<"$patterns"
excluded=()
[ -z "$line_pattern" ] || excluded+=(--exclude-lines-by-pattern "$line_pattern")
[ -z "$branch_pattern" ] || excluded+=(--exclude-branches-by-pattern "$branch_pattern")

rm -f "$out"/*.json "$out"/*.html
common=(--root . --filter '(query|support|host)/' --exclude-unreachable-branches "${excluded[@]}")
gcovr "${common[@]}" --gcov-executable gcov --json "$out/native.json" build/coverage-native \
    >"$out/gcovr.log" 2>&1 || { cat "$out/gcovr.log"; fail "gcovr cannot read build/coverage-native"; }
gcovr "${common[@]}" --gcov-executable "$mingw_gcov" --json "$out/win.json" build/coverage-win \
    >>"$out/gcovr.log" 2>&1 || { cat "$out/gcovr.log"; fail "gcovr cannot read build/coverage-win"; }
gcovr --root . --add-tracefile "$out/native.json" --add-tracefile "$out/win.json" \
    --html-details "$out/index.html" --json-summary "$out/summary.json" --json "$out/merged.json" \
    >>"$out/gcovr.log" 2>&1 || { cat "$out/gcovr.log"; fail "gcovr cannot merge the two trees"; }

# The totals, and every line that no test ran; every source of the module
# must be in the report, or its lines would not be counted at all.
python3 - "$out" "$every_line" "$entries" "$exclusions" <<'EOF'
import json, pathlib, sys
out, every_line = pathlib.Path(sys.argv[1]), sys.argv[2] == "1"
try:
    summary = json.loads((out / "summary.json").read_text())
    totals = [int(summary[k]) for k in ("line_covered", "line_total", "branch_covered", "branch_total")]
    files = {f["filename"] for f in summary["files"]}
    merged = json.loads((out / "merged.json").read_text())["files"]
except (OSError, ValueError, KeyError, TypeError) as e:
    print(f"coverage: not measured: build/coverage/summary.json cannot be read ({e})")
    sys.exit(1)
missing = sorted({str(p) for d in ("query", "support", "host") for p in pathlib.Path(d).glob("*.cpp")}
                 - files)
lines, total, branches, branch_total = totals
if missing or total == 0 or not 0 <= lines <= total or not 0 <= branches <= branch_total:
    print(f"coverage: not measured: the report lacks {', '.join(missing) or 'nothing'}, "
          f"and counts {lines} of {total} lines, {branches} of {branch_total} branches")
    sys.exit(1)
# The lines that neither tree ran, as gcovr merged them.
counts = {}
for f in merged:
    for l in f["lines"]:
        if not l.get("gcovr/noncode") and not l.get("gcovr/excluded"):
            key = (f["file"], l["line_number"])
            counts[key] = counts.get(key, 0) + l["count"]
unrun = sorted(k for k, c in counts.items() if c == 0)
for name, number in unrun:
    print(f"{name}:{number}: run by no test")
if len(unrun) != total - lines:
    print(f"coverage: not measured: {len(unrun)} lines unrun, but the summary says {total - lines}")
    sys.exit(1)
print(f"excluded: {sys.argv[3]} entries, each with its reason, in {sys.argv[4]}")
pct = lambda a, b: f"{int(1000 * a / b) / 10:g}" if b else "100"
print(f"coverage: lines {lines} of {total} ({pct(lines, total)}%), "
      f"branches {branches} of {branch_total} ({pct(branches, branch_total)}%)")
sys.exit(1 if every_line and unrun else 0)
EOF
