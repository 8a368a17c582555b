#!/usr/bin/env python3
"""bench_figures.py REPORT - the native benchmarks' figures, read from Google
Benchmark's JSON report (--benchmark_out_format=json), for tools/bench.sh.

Prints the median of each benchmark (with one repetition, which has no
aggregates, its one run), then two tables per format code: the
formatter against the reference formatter at 1024 cells, whose speedup has a
target, and the 1024-cell / 64-cell time ratio, which has a limit.  Reasons
for failing go to standard error, one a line.  Exit status: 0 when every
figure is there and meets its target; 1 when one is missing or misses its
target; 2 when the report cannot be read or a benchmark failed.
"""
import json
import math
import re
import sys

CODES = range(8)
# The least speedup over the reference formatter, per format code.
SPEEDUP_TARGETS = {0: 2, 1: 2, 2: 2, 3: 6, 4: 6, 5: 4, 6: 4, 7: 2}
# Formatting linear in the cells takes about 16 times as long for 1024 as for 64.
RATIO_LIMIT = 20
# The report does not say which counters are rates; in bench/ these are, per second.
RATE_COUNTERS = {"cells", "chars"}
# What a run in the report holds besides its counters.
RUN_FIELDS = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
              "repetitions", "repetition_index", "threads", "aggregate_name", "aggregate_unit",
              "error_occurred", "error_message", "iterations", "real_time", "cpu_time",
              "time_unit", "label"}


class Unusable(Exception):
    """The report cannot be read, or a benchmark in it failed."""


def natural(name):
    """Orders names as sort -V does: format:2 before format:10."""
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", name)]


def is_number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def load(path):
    """The report's context and its runs."""
    try:
        with open(path, encoding="utf-8") as file:
            report = json.load(file)
    except (OSError, ValueError) as error:
        raise Unusable(f"bench: cannot read the benchmark report {path}: {error}")
    runs = report.get("benchmarks") if isinstance(report, dict) else None
    if not isinstance(runs, list) or not all(
            isinstance(run, dict) and isinstance(run.get("run_name"), str) for run in runs):
        raise Unusable(f"bench: {path} is not a Google Benchmark JSON report")
    context = report.get("context")
    return context if isinstance(context, dict) else {}, runs


def figures(runs):
    """Per benchmark, the run whose figures count: a failed run if any failed,
    else the median over the repetitions, else (one repetition has no
    aggregates) its one run."""
    plain, medians = {}, {}
    for run in runs:
        if run.get("run_type") == "aggregate":
            if run.get("aggregate_name") == "median":
                medians[run["run_name"]] = run
        else:
            plain.setdefault(run["run_name"], []).append(run)
    chosen = {}
    for name in set(plain) | set(medians):
        own = plain.get(name, [])
        failed = [run for run in own if run.get("error_occurred")]
        if failed:
            chosen[name] = failed[0]
        elif name in medians:
            chosen[name] = medians[name]
        elif len(own) == 1:
            chosen[name] = own[0]
        else:
            raise Unusable(f"bench: {name} has {len(own)} runs and no median")
    return chosen


def format_time(value):
    """A time as the console shows it: about three digits, ten columns."""
    if value < 1:
        return "%10.3f" % value
    if value < 10:
        return "%10.2f" % value
    if value < 100:
        return "%10.1f" % value
    if value > 9999999999:
        return "%1.4e" % value
    return "%10.0f" % value


def human(value):
    """A counter as the console shows it: six digits, with an SI prefix past 1.1 of it."""
    if value < 0:
        return "-" + human(-value)
    scaled = value
    if value > 1100:
        for prefix in "kMGTPEZY":
            scaled /= 1000
            if scaled <= 1100:
                return "%g%s" % (scaled, prefix)
    elif value < 0.01:
        for prefix in "munpfazy":
            scaled *= 1000
            if scaled >= 1.1:
                return "%g%s" % (scaled, prefix)
    return "%g" % value


def print_medians(context, chosen):
    if "num_cpus" in context and "mhz_per_cpu" in context:
        print("Run on (%s X %s MHz CPU s)" % (context["num_cpus"], context["mhz_per_cpu"]))
    width = max([len(name) for name in chosen] + [len("Benchmark")])
    header = "%-*s %13s %15s %12s UserCounters..." % (width, "Benchmark", "Time", "CPU",
                                                      "Iterations")
    print("-" * len(header), header, "-" * len(header), sep="\n")
    for name in sorted(chosen, key=natural):
        run = chosen[name]
        if run.get("error_occurred"):
            print("%-*s ERROR OCCURRED: '%s'" % (width, name, run.get("error_message", "")))
            continue
        if not all(is_number(run.get(key)) for key in ("real_time", "cpu_time", "iterations")):
            raise Unusable(f"bench: {name} has no times in the report")
        unit = run.get("time_unit", "?")
        line = "%-*s %s %-4s %s %-4s %10s" % (
            width, name, format_time(run["real_time"]), unit, format_time(run["cpu_time"]),
            unit, run["iterations"])
        for counter in sorted(set(run) - RUN_FIELDS):
            if is_number(run[counter]):
                line += " %s=%s%s" % (counter, human(run[counter]),
                                      "/s" if counter in RATE_COUNTERS else "")
        if run.get("label"):
            line += " " + run["label"]
        print(line)


def counters(chosen, name, keys):
    """The counters keys of the benchmark name, or why they are not there."""
    run = chosen.get(name)
    if run is None:
        return None, f"no {name} in the report"
    missing = [key for key in keys if not is_number(run.get(key))]
    if missing:
        return None, f"{name} has no number for {', '.join(missing)}"
    return [run[key] for key in keys], None


def check_speedups(chosen):
    """The formatter against the reference formatter and a memcpy of its
    result, timed in the same iterations (BM_FormatVsReference)."""
    print()
    print("== formatting 1024 cells: against the reference formatter and a memcpy of the"
          " result, same run")
    print("%-7s %8s %12s %8s %7s %12s %9s" % ("format", "ns/cell", "reference ns", "speedup",
                                              "target", "memcpy ns", "x memcpy"))
    ok = True
    for code in CODES:
        values, why = counters(chosen, f"BM_FormatVsReference/format:{code}",
                               ["ns", "ref_ns", "speedup", "copy_ns", "copy_ratio"])
        if values is None:
            print("%-7d no figures: %s" % (code, why))
            ok = False
            continue
        ns, ref_ns, speedup, copy_ns, copy_ratio = values
        target = SPEEDUP_TARGETS[code]
        met = speedup >= target
        ok = ok and met
        print("%-7d %8.2f %12.2f %8.2f %7s %12.3f %9.2f%s" % (
            code, ns, ref_ns, speedup, f">= {target}", copy_ns, copy_ratio,
            "" if met else "  BELOW TARGET"))
    return ok


def check_ratios(chosen):
    """The 1024-cell / 64-cell ratio, measured in pairs microseconds apart
    (BM_FormatRatio): medians of separate benchmarks are taken seconds apart,
    and on a shared machine their quotient can be off by half."""
    print()
    print("== formatting: time for 1024 cells / time for 64 cells, in pairs"
          f" (linear: ~16, limit {RATIO_LIMIT})")
    print("%-7s %13s %14s %8s" % ("format", "64 cells ns", "1024 cells ns", "ratio"))
    ok = True
    for code in CODES:
        values, why = counters(chosen, f"BM_FormatRatio/format:{code}",
                               ["ns64", "ns1024", "ratio"])
        if values is None:
            print("%-7d no figures: %s" % (code, why))
            ok = False
            continue
        ns64, ns1024, ratio = values
        within = ratio <= RATIO_LIMIT
        ok = ok and within
        print("%-7d %13.0f %14.0f %8.2f%s" % (code, ns64, ns1024, ratio,
                                              "" if within else f"  ABOVE {RATIO_LIMIT}"))
    return ok


def main(argv):
    if len(argv) != 2:
        print("usage: bench_figures.py REPORT.json", file=sys.stderr)
        return 2
    try:
        context, runs = load(argv[1])
        chosen = figures(runs)
        print_medians(context, chosen)
        failed = [name for name in sorted(chosen, key=natural)
                  if chosen[name].get("error_occurred")]
        if failed:
            for name in failed:
                print(f"bench: {name} failed: {chosen[name].get('error_message', '')}",
                      file=sys.stderr)
            raise Unusable("bench: the native benchmarks failed")
    except Unusable as error:
        print(error, file=sys.stderr)
        return 2
    complaints = []
    if not check_speedups(chosen):
        complaints.append("bench: a formatting speedup is below its target (or missing)")
    if not check_ratios(chosen):
        complaints.append(f"bench: a formatting ratio is above {RATIO_LIMIT} (or missing)")
    sys.stdout.flush()
    for complaint in complaints:
        print(complaint, file=sys.stderr)
    return 1 if complaints else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
