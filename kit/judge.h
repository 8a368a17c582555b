// judge.h - the test kit's judgement, with nothing of Windows in it: what a
// suite's program listed and reported (GoogleTest's JSON reports), how it
// ended, and what the run was asked to prove go in; the verdicts, the
// closing line and the summary's Markdown come out.  cellattr-kit.exe runs
// the programs and hands each run here; the native tree tests the judging
// against recorded reports.
//
// Every test that a program lists must be reported exactly once, as
// passed, failed or skipped.  Whatever else happens counts as one failure
// more, with one line saying why: a listed test not reported, a reported
// one not listed, a skip that gives no reason, a failure outside any test.
// A suite whose report cannot be had or trusted (none, cut off, an exit
// code that disagrees with it, out of time) counts as one failure, and
// nothing it reported counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace judge {

// One run of a program: listing its tests, or running them.
struct Step {
    unsigned limit = 0;      // its time limit, in seconds
    std::string notStarted;  // why it could not be started; empty when it was
    bool timedOut = false;
    uint32_t exitCode = 0;
    std::string codeWords;              // the system's words for the exit code, if any
    std::optional<std::string> report;  // the JSON report's text, where it wrote one
};

struct SuiteRun {
    std::string program;  // "cellattr_tests.exe"
    bool missing = false;  // not in the kit: nothing was run
    Step list, run;
    // After a time-out: the progress file's text (the test then running),
    // or nothing where the program never made one.
    std::optional<std::string> progress;
};

struct Verdict {
    int passed = 0, failed = 0, skipped = 0;
    std::vector<std::string> problems;     // each counts as one failure more
    std::vector<std::string> failedTests;  // "Suite.Name"
    std::vector<std::string> skippedTests;
    std::vector<std::string> reasons;   // "Suite.Name: why", for each skip that said why
    std::vector<std::string> findings;  // lines a test recorded as findings
};

[[nodiscard]] Verdict JudgeSuite(const SuiteRun& run);

// "exit code 0xC0000005 (Invalid access to memory location)": codes of
// 0x80000000 and above in hexadecimal, with the system's words.
[[nodiscard]] std::string ExitCode(const Step& step);
// Why a step went wrong before its report could be read: it could not be
// started, or did not `doing` ("end") within its limit; empty where neither.
[[nodiscard]] std::string StepFault(const Step& step, const char* doing);

// What a run must prove, as /expect asks.
enum class Expect { Nothing, Classic, Pseudoconsole };

// The tests that a pseudoconsole may skip: those that need a screen buffer
// larger than its window, which a pseudoconsole keeps the terminal's size.
inline constexpr std::string_view kMayNeedALargerBuffer[] = {
    "EndToEnd.window",
    "RealConsole.NeverWritesPastTheHostsBuffer",
    "ScrolledConsole.ExtremePositionsAreOutOfRange",
    "ScrolledConsole.RelativeToTheCursor",
    "ScrolledConsole.RunStopsAtTheEndOfTheBuffer",
    "ScrolledConsole.WindowLowerDownAndScrolledSideways",
};

// Why a run in `console` ("a classic console window, on Windows ...") must
// not start under `expect`; empty where it may.
[[nodiscard]] std::string WrongConsole(Expect expect, std::string_view console);

// The whole run: its suites' verdicts, and the failures of its own.
struct Run {
    std::string console;  // the first line's "a classic console window, on Windows ..."
    std::vector<Verdict> suites;
    std::vector<std::string> problems;  // each counts as one failure
};

// Adds to run.problems what `expect` does not allow of its suites.
void CheckExpectation(Expect expect, Run& run);

struct Totals {
    int passed = 0, failed = 0, skipped = 0;
};
[[nodiscard]] Totals Count(const Run& run);
// "N passed, M failed", and ", K skipped" where K is not 0.
[[nodiscard]] std::string ClosingLine(const Totals& totals);
// The run in Markdown, for /summary: its console, its closing line and exit
// code, what failed, each skip's reason and each finding.
[[nodiscard]] std::string Summary(const std::string& heading, const Run& run);

// Whether a variable of the environment ("NAME=value") is one of
// GoogleTest's settings, which the kit clears for its programs.
[[nodiscard]] bool IsGoogleTestSetting(std::wstring_view entry);

// Whether the console goes when the run ends, so that its window is to wait
// for a key: `others` is the command line of each other process attached to
// the console.  It goes where the only other one is a cmd.exe that runs one
// command and exits (/c, as Explorer and ShellExecute start a batch file),
// or where there is none.
[[nodiscard]] bool ConsoleGoesWithUs(const std::vector<std::wstring>& others);

}  // namespace judge
