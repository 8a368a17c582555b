#!/usr/bin/env python3
"""bench_figures.py REPORT - the native benchmarks' derived figures, read from
Google Benchmark's JSON report, for tools/bench.sh: per format code, the
formatter against the reference formatter at 1024 cells (a speedup with a
target) and the 1024-cell / 64-cell time ratio (with a limit), each from a
benchmark's median, or its one run where it ran once.  Exit status: 0 when
every figure is there and meets its target, 1 when one does not, 2 when the
report cannot be read or a benchmark failed; the reasons on standard error.
"""
import json
import math
import sys

CODES = range(8)
# The least speedup over the reference formatter, per format code.
SPEEDUP_TARGETS = {0: 2, 1: 2, 2: 2, 3: 6, 4: 6, 5: 4, 6: 4, 7: 2}
# Formatting linear in the cells takes about 16 times as long for 1024 as for 64.
RATIO_LIMIT = 20

# Each table: its heading, its benchmark, its counters with their columns,
# and what each row's last counter must meet.
TABLES = [
    ("== formatting 1024 cells: against the reference formatter and a memcpy of the result,"
     " same run", "BM_FormatVsReference/format:%d",
     [("ns", "ns/cell", "%8.2f"), ("ref_ns", "reference ns", "%12.2f"),
      ("copy_ns", "memcpy ns", "%12.3f"), ("copy_ratio", "x memcpy", "%9.2f"),
      ("speedup", "speedup", "%8.2f")],
     lambda code, value: (value >= SPEEDUP_TARGETS[code], ">= %d" % SPEEDUP_TARGETS[code],
                          "BELOW TARGET"),
     "bench: a formatting speedup is below its target (or missing)"),
    # Measured in pairs microseconds apart: medians of separate benchmarks
    # are seconds apart, and on a shared machine their quotient is off by half.
    ("== formatting: time for 1024 cells / time for 64 cells, in pairs (linear: ~16, limit %d)"
     % RATIO_LIMIT, "BM_FormatRatio/format:%d",
     [("ns64", "64 cells ns", "%13.0f"), ("ns1024", "1024 cells ns", "%14.0f"),
      ("ratio", "ratio", "%8.2f")],
     lambda code, value: (value <= RATIO_LIMIT, "<= %d" % RATIO_LIMIT, "ABOVE %d" % RATIO_LIMIT),
     "bench: a formatting ratio is above %d (or missing)" % RATIO_LIMIT),
]


def unusable(why):
    print(why, file=sys.stderr)
    sys.exit(2)


def is_number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def figures(path):
    """Per benchmark, the run that counts: a failed one, else the median,
    else the one run.  Exits with 2 where the report is unusable."""
    try:
        with open(path, encoding="utf-8") as file:
            runs = json.load(file)["benchmarks"]
        plain, medians = {}, {}
        for run in runs:
            if run.get("run_type") == "aggregate":
                if run.get("aggregate_name") == "median":
                    medians[run["run_name"]] = run
            else:
                plain.setdefault(run["run_name"], []).append(run)
    except (OSError, ValueError, KeyError, TypeError, AttributeError) as error:
        unusable(f"bench: {path} is not a readable Google Benchmark JSON report: {error!r}")
    chosen, failed = {}, []
    for name, own in plain.items():
        failed += [f"bench: {name} failed: {run.get('error_message', '')}"
                   for run in own if run.get("error_occurred")]
        chosen[name] = medians.get(name, own[0] if len(own) == 1 else None)
    if failed:
        unusable("\n".join(failed + ["bench: the native benchmarks failed"]))
    return chosen


def table(chosen, heading, benchmark, columns, meets):
    """Prints one table; true when every row is there and meets its mark."""
    print("\n" + heading)
    print("%-7s " % "format" + " ".join("%*s" % (len(form % 0), title)
                                        for _, title, form in columns) + "  target")
    ok = True
    for code in CODES:
        run = chosen.get(benchmark % code) or {}
        missing = [key for key, _, _ in columns if not is_number(run.get(key))]
        if missing:
            print("%-7d no figures: %s has no number for %s"
                  % (code, benchmark % code, ", ".join(missing)))
            ok = False
            continue
        met, mark, miss = meets(code, run[columns[-1][0]])
        ok = ok and met
        print("%-7d " % code + " ".join(form % run[key] for key, _, form in columns) +
              "  " + mark + ("" if met else "  " + miss))
    return ok


def main(argv):
    if len(argv) != 2:
        unusable("usage: bench_figures.py REPORT.json")
    chosen = figures(argv[1])
    complaints = [complaint for heading, benchmark, columns, meets, complaint in TABLES
                  if not table(chosen, heading, benchmark, columns, meets)]
    sys.stdout.flush()
    for complaint in complaints:
        print(complaint, file=sys.stderr)
    return 1 if complaints else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
