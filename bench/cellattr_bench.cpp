// cellattr_bench.cpp - native benchmarks: the argument tokenizer, the cell
// formatter for every format code (alone, against the reference formatter of
// the tests and against copying its result), and the whole @CELLATTR on the
// simulated console.  tools/bench.sh runs this and reads figures per format
// from its output, so these names are part of that script's contract:
// BM_FormatRatio/format:N with its counters ratio, ns64 and ns1024, and
// BM_FormatVsReference/format:N with ns, ref_ns, copy_ns, speedup and
// copy_ratio.
#include "../query/cellattr.h"
#include "../standin/platform/sim_console.h"
#include "../standin/takecmd/standin_host.h"
#include "../tests/reference_format.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Tokenizer.

// The longest text the tokenizer accepts when every character takes a
// position in argBuffer: one position is always left for the terminator.
constexpr size_t kLongestText = MAX_ARG_LEN - 1;

// Repeats piece until the text is exactly length characters long.
std::u16string Fill(const std::u16string& piece, size_t length)
{
    std::u16string text;
    while (text.size() < length)
        text += piece;
    text.resize(length);
    return text;
}

enum class TextKind { OneArgument, ManyArguments, Quoted };

std::u16string MakeText(TextKind kind, size_t length)
{
    switch (kind) {
    case TextKind::OneArgument:
        return Fill(u"abcdefghIJKLMNOPqrstuvwxyz0123456789", length);
    case TextKind::ManyArguments:
        return Fill(u"12, ab ,0x1F,", length);
    case TextKind::Quoted:
        return Fill(u"\"a, b\" ,", length);
    }
    return {};
}

void Tokenize(benchmark::State& state, TextKind kind, size_t length)
{
    const std::u16string text = MakeText(kind, length);
    for (auto _ : state) {
        int32_t count = TokenizeArgs(text.c_str());
        if (count < 0) {
            state.SkipWithError("the tokenizer rejected the text");
            break;
        }
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    state.counters["chars"] = benchmark::Counter(static_cast<double>(text.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// ---------------------------------------------------------------------------
// Formatting alone.

// Every low byte, in a scattered order (73 is odd, so 256 steps visit each
// value once), with a few high bits so that formats 0..2 see large values
// too.  The same pattern at 64 and at 1024 cells keeps the entries' mean
// length alike, so the time ratio shows the formatter's growth and not the
// data's.
std::vector<uint16_t> MakeCells(size_t count)
{
    std::vector<uint16_t> cells(count);
    for (size_t i = 0; i < count; ++i)
        cells[i] = static_cast<uint16_t>(((i * 73) & 0xFF) | ((i & 3) << 14));
    return cells;
}

// Entries in a formatted result: separators plus one.
size_t CountEntries(const std::u16string& text, unsigned code)
{
    const std::u16string sep = (code >= 3 && code <= 6) ? u", " : u" ";
    if (text.empty())
        return 0;
    size_t n = 1;
    for (size_t at = text.find(sep); at != std::u16string::npos; at = text.find(sep, at + 1))
        ++n;
    return n;
}

void BM_FormatCells(benchmark::State& state)
{
    const auto code = static_cast<uint32_t>(state.range(0));
    const auto count = static_cast<uint32_t>(state.range(1));
    const std::vector<uint16_t> cells = MakeCells(count);
    std::vector<Char> result(HOST_RESULT_CAPACITY);

    // A result cut short at the capacity would make the long run look cheap.
    FormatCells(result.data(), cells.data(), count, code);
    if (CountEntries(result.data(), code) != count) {
        state.SkipWithError("not every cell fits the result");
        return;
    }

    for (auto _ : state) {
        FormatCells(result.data(), cells.data(), count, code);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.counters["cells"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FormatCells)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {64, 1024}})
    ->ArgNames({"format", "cells"});

// Seconds per call of work, over `times` calls back to back.
template <typename Work>
double SecondsPerCall(Work work, int times)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    for (int k = 0; k < times; ++k) {
        work();
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / times;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The 1024-cell / 64-cell time ratio, measured in pairs: each iteration
// times sixteen 64-cell runs and one 1024-cell run back to back (in turn
// first).  Counters: the median of the pairs' ratios, and the median times
// of one 64-cell and one 1024-cell run, in nanoseconds.  Timings taken
// seconds apart on a shared machine can differ by half; a pair's two halves,
// microseconds apart, see the same machine.
void BM_FormatRatio(benchmark::State& state)
{
    const auto code = static_cast<uint32_t>(state.range(0));
    const std::vector<uint16_t> cells = MakeCells(1024);
    std::vector<Char> result(HOST_RESULT_CAPACITY);
    std::vector<double> ratios, shortTimes, longTimes;

    auto formatShort = [&] { FormatCells(result.data(), cells.data(), 64, code); };
    auto formatLong = [&] { FormatCells(result.data(), cells.data(), 1024, code); };
    bool shortFirst = true;
    for (auto _ : state) {
        double shortTime, longTime;
        if (shortFirst) {
            shortTime = SecondsPerCall(formatShort, 16);
            longTime = SecondsPerCall(formatLong, 1);
        } else {
            longTime = SecondsPerCall(formatLong, 1);
            shortTime = SecondsPerCall(formatShort, 16);
        }
        shortFirst = !shortFirst;
        ratios.push_back(longTime / shortTime);
        shortTimes.push_back(shortTime * 1e9);
        longTimes.push_back(longTime * 1e9);
    }
    state.counters["ratio"] = Median(ratios);
    state.counters["ns64"] = Median(shortTimes);
    state.counters["ns1024"] = Median(longTimes);
}
BENCHMARK(BM_FormatRatio)->DenseRange(0, 7)->ArgName("format");

// The formatter against the reference formatter (tests/reference_format.h)
// and against a memcpy of the result it makes, on the same 1024 cells.  Each
// iteration times the three, four calls each, back to back and in turn
// first, so that they share the machine's state.  Counters, the medians over
// the iterations: nanoseconds per cell of each (ns, ref_ns, copy_ns), and
// per iteration the reference's time over the formatter's (speedup) and the
// formatter's over the copy's (copy_ratio).
void BM_FormatVsReference(benchmark::State& state)
{
    const auto code = static_cast<uint32_t>(state.range(0));
    const std::vector<uint16_t> cells = MakeCells(MAX_CELLS);
    std::vector<Char> result(HOST_RESULT_CAPACITY), expected(HOST_RESULT_CAPACITY),
        copy(HOST_RESULT_CAPACITY);

    // Both must make the same whole result, or the comparison means nothing.
    FormatCells(result.data(), cells.data(), MAX_CELLS, code);
    if (ReferenceFormatCells(expected.data(), cells.data(), MAX_CELLS, code) != MAX_CELLS ||
        std::u16string(result.data()) != expected.data()) {
        state.SkipWithError("the formatters differ, or not every cell fits");
        return;
    }
    const size_t bytes = (TextLength(result.data()) + 1) * sizeof(Char);
    benchmark::DoNotOptimize(copy.data());

    auto format = [&] { FormatCells(result.data(), cells.data(), MAX_CELLS, code); };
    auto reference = [&] {
        ReferenceFormatCells(expected.data(), cells.data(), MAX_CELLS, code);
    };
    auto copyResult = [&] { std::memcpy(copy.data(), result.data(), bytes); };
    std::vector<double> ns[3], speedups, copyRatios;
    unsigned first = 0;
    for (auto _ : state) {
        double t[3];
        for (unsigned k = 0; k < 3; ++k) {
            unsigned which = (first + k) % 3;
            t[which] = which == 0   ? SecondsPerCall(format, 4)
                       : which == 1 ? SecondsPerCall(reference, 4)
                                    : SecondsPerCall(copyResult, 4);
        }
        first = (first + 1) % 3;
        for (unsigned k = 0; k < 3; ++k)
            ns[k].push_back(t[k] * 1e9 / MAX_CELLS);
        speedups.push_back(t[1] / t[0]);
        copyRatios.push_back(t[0] / t[2]);
    }
    state.counters["ns"] = Median(ns[0]);
    state.counters["ref_ns"] = Median(ns[1]);
    state.counters["copy_ns"] = Median(ns[2]);
    state.counters["speedup"] = Median(speedups);
    state.counters["copy_ratio"] = Median(copyRatios);
}
BENCHMARK(BM_FormatVsReference)->DenseRange(0, 7)->ArgName("format");

// ---------------------------------------------------------------------------
// The whole function on the simulated console.

void WholeFunction(benchmark::State& state, const std::u16string& args, uint32_t cellCount)
{
    simconsole::Reset(120, 300);
    const std::vector<uint16_t> cells = MakeCells(MAX_CELLS);
    for (size_t i = 0; i < cells.size(); ++i)
        simconsole::SetCell(static_cast<int16_t>(i % 120), static_cast<int16_t>(i / 120),
                            cells[i]);
    std::vector<Char> buffer(HOST_RESULT_CAPACITY);

    for (auto _ : state) {
        // The host hands the arguments in the buffer that takes the result.
        std::copy(args.begin(), args.end(), buffer.begin());
        buffer[args.size()] = 0;
        if (f_cellattr(buffer.data()) != 0) {
            state.SkipWithError("@CELLATTR failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    // Failures write to the stand-in's stderr record; keep it from growing.
    standin::TakeOutput(standin::StdError());
    state.counters["cells"] =
        benchmark::Counter(cellCount, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

int main(int argc, char** argv)
{
    struct {
        const char* name;
        TextKind kind;
    } const kinds[] = {
        {"one_argument", TextKind::OneArgument},
        {"many_arguments", TextKind::ManyArguments},
        {"quoted", TextKind::Quoted},
    };
    for (const auto& k : kinds)
        for (size_t length : {size_t{16}, size_t{1024}, kLongestText})
            benchmark::RegisterBenchmark(
                ("Tokenize/" + std::string(k.name) + "/chars:" + std::to_string(length)).c_str(),
                Tokenize, k.kind, length);

    // Names without blanks or commas: each stays one field of the report.
    benchmark::RegisterBenchmark("f_cellattr/0_0_1024_3", WholeFunction, u"0,0,1024,3", 1024u);
    benchmark::RegisterBenchmark("f_cellattr/0_0_1_0", WholeFunction, u"0,0,1,0", 1u);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
