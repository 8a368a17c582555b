// The test kit's judgement (kit/judge.h), against the reports that GoogleTest
// 1.12 and 1.16 wrote for a small program of their own
// (tools/record-gtest-reports.sh): each kind of program that lies or breaks,
// a skip without its reason, what /expect allows, and how a run is told.
#include "../kit/judge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using judge::SuiteRun;

std::string Report(const std::string& name)
{
    std::ifstream file(std::string(KIT_REPORTS) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_TRUE(file.good()) << "no recorded report " << name;
    return text.str();
}

// A recorded set as the kit would have it: each set's program ends with 1.
SuiteRun Recording(const std::string& version, const char* set)
{
    SuiteRun run;
    run.program = "sample.exe";
    run.list.limit = 60;
    run.run.limit = 300;
    run.list.report = Report(version + "/" + set + "-list.json");
    run.run.report = Report(version + "/" + set + "-run.json");
    run.run.exitCode = 1;
    return run;
}

void Replace(std::optional<std::string>& text, const std::string& from, const std::string& to)
{
    text->replace(text->find(from), from.size(), to);
}

struct SuiteCase {
    const char* what;
    const char* set;
    void (*plant)(SuiteRun&);
    const char* closing;  // the verdict's own, with 1.12's report
    std::vector<std::string> why;  // each problem, after "counts as one failure: "
    const char* closing16 = nullptr;  // where 1.16's report gives another
    std::vector<std::string> why16 = {};
};

const std::string kCrash = "exit code 0xC0000005 (Invalid access to memory location)";

const SuiteCase kSuiteCases[] = {
    {"honest", "clean", [](SuiteRun&) {}, "2 passed, 2 failed, 2 skipped",
     {"Sample.SkipsSilently was skipped without saying why"}},
    {"a suite's set-up fails", "setup", [](SuiteRun&) {}, "0 passed, 1 failed",
     {"it ended with exit code 1, though its report shows no failure"}, "0 passed, 2 failed, 1 skipped",
     {"Broken.NeverRuns was skipped without saying why",
      "it reports a failure outside any test (Broken): sample.cpp:14 Failed the suite's set-up failed"}},
    {"the environment fails", "environment", [](SuiteRun&) {}, "0 passed, 1 failed",
     {"its report is unreadable, cut off or does not add up, and ended with exit code 1"},
     "1 passed, 1 failed",
     {"it reports a failure outside any test (NonTestSuiteFailure): sample.cpp:20 Failed the "
      "environment failed"}},
    {"missing", "clean", [](SuiteRun& r) { r.missing = true; }, "0 passed, 1 failed",
     {"it is missing from stand-in-host"}},
    {"cannot start", "clean", [](SuiteRun& r) { r.list.notStarted = "Access is denied."; },
     "0 passed, 1 failed", {"it could not be started: Access is denied."}},
    {"silent", "clean", [](SuiteRun& r) { r.list.report.reset(); }, "0 passed, 1 failed",
     {"it wrote no list of its tests"}},
    {"lost an end to end case", "clean", [](SuiteRun& r) { r.list = {60, "", false, 2, "", {}}; },
     "0 passed, 1 failed", {"it could not list its tests: it ended with exit code 2"}},
    {"lists nothing", "clean",
     [](SuiteRun& r) { r.list.report = R"({"tests": 0, "name": "AllTests", "testsuites": []})"; },
     "0 passed, 1 failed", {"it listed no tests"}},
    {"a list that does not add up", "clean",
     [](SuiteRun& r) { Replace(r.list.report, "\"tests\": 5", "\"tests\": 6"); }, "0 passed, 1 failed",
     {"its list of tests is unreadable, cut off or does not add up"}},
    {"a list out of time", "clean", [](SuiteRun& r) { r.list.timedOut = true; }, "0 passed, 1 failed",
     {"it did not list its tests within 60 s, and was ended"}},
    {"out of time before a test", "clean", [](SuiteRun& r) { r.run = {300, "", true, 1, "", {}}; },
     "0 passed, 1 failed", {"it did not end within 300 s, and was ended before its first test began"}},
    {"out of time between tests", "clean",
     [](SuiteRun& r) { r.run = {300, "", true, 1, "", {}}, r.progress = ""; }, "0 passed, 1 failed",
     {"it did not end within 300 s, and was ended between tests, none of them running"}},
    {"out of time in a test", "clean",
     [](SuiteRun& r) { r.run = {300, "", true, 1, "", {}}, r.progress = "Sample.Fails\r\n"; },
     "0 passed, 1 failed", {"it did not end within 300 s, and was ended while running Sample.Fails"}},
    {"crashed before its report", "clean",
     [](SuiteRun& r) { r.run = {300, "", false, 0xC0000005, "Invalid access to memory location.", {}}; },
     "0 passed, 1 failed", {"it wrote no report of its run, and ended with " + kCrash}},
    {"crashed after its report", "clean",
     [](SuiteRun& r) { r.run.exitCode = 0xC0000005, r.run.codeWords = "Invalid access to memory location."; },
     "0 passed, 1 failed", {"it ended with " + kCrash + ", though its report shows failures"}},
    {"hides its failures", "clean", [](SuiteRun& r) { r.run.exitCode = 0; }, "0 passed, 1 failed",
     {"it ended with exit code 0, though its report shows failures"}},
    {"a report cut off", "clean",
     [](SuiteRun& r) { r.run.report = r.run.report->substr(0, r.run.report->size() / 2); },
     "0 passed, 1 failed",
     {"its report is unreadable, cut off or does not add up, and ended with exit code 1"}},
    {"a name that differs", "clean",
     [](SuiteRun& r) { Replace(r.run.report, "\"Passes\"", "\"Passed\""); },
     "1 passed, 4 failed, 2 skipped",
     {"it reports Sample.Passed, which it did not list",
      "Sample.SkipsSilently was skipped without saying why",
      "it lists Sample.Passes, but does not report it"}},
};

TEST(KitJudge, SuitesByTheirReports)
{
    for (const SuiteCase& c : kSuiteCases) {
        for (const std::string version : {"1.12", "1.16"}) {
            SCOPED_TRACE(std::string(c.what) + ", GoogleTest " + version);
            SuiteRun run = Recording(version, c.set);
            c.plant(run);
            judge::Verdict verdict = judge::JudgeSuite(run);
            bool other = version == "1.16" && c.closing16 != nullptr;
            EXPECT_EQ(judge::ClosingLine(judge::Count({"", {verdict}, {}})),
                      other ? c.closing16 : c.closing);
            std::vector<std::string> want;
            for (const std::string& why : other ? c.why16 : c.why)
                want.push_back("** sample.exe counts as one failure: " + why + ".");
            EXPECT_EQ(verdict.problems, want);
        }
    }
}

// What an honest report tells beyond its counts, and how a run is told.
TEST(KitJudge, ReasonsFindingsAndTheSummary)
{
    judge::Run run{"a pseudoconsole, on Windows 10.0.26100", {JudgeSuite(Recording("1.12", "clean"))}, {}};
    judge::CheckExpectation(judge::Expect::Pseudoconsole, run);
    EXPECT_EQ(judge::Summary("run-tests", run),
              "### run-tests: a pseudoconsole, on Windows 10.0.26100\n\n"
              "`2 passed, 4 failed, 2 skipped`, exit code 1.\n\n"
              "What failed:\n\n```text\nfailed: Sample.Fails\n"
              "** sample.exe counts as one failure: Sample.SkipsSilently was skipped without saying why.\n"
              "run-tests: /expect pseudoconsole allows a skip only of a test that needs a buffer "
              "larger than the window, and Sample.SkipsSaying was skipped.\n"
              "run-tests: /expect pseudoconsole allows a skip only of a test that needs a buffer "
              "larger than the window, and Sample.SkipsSilently was skipped.\n```\n\n"
              "Skipped, each with its reason:\n\n```text\n"
              "Sample.SkipsSaying: the console refused a 120 x 300 screen buffer\n```\n\n"
              "Findings: where this Windows and the native build's space table differ, the table "
              "is to be mended.\n\n```text\nU+2028: one\nU+2029: two\n```\n\n");
}

TEST(KitJudge, WhatExpectAllows)
{
    judge::Verdict suite;
    suite.passed = 3;
    suite.skipped = 2;
    suite.skippedTests = {"ScrolledConsole.RelativeToTheCursor", "HelpBox.ShowsTheHelpTextAndReturnsOne"};
    const std::string help = "HelpBox.ShowsTheHelpTextAndReturnsOne was skipped";
    struct {
        judge::Expect expect;
        int passed;
        std::vector<std::string> ends;  // how each problem's line ends
    } cases[] = {
        {judge::Expect::Nothing, 3, {}},
        {judge::Expect::Nothing, 0, {}},
        {judge::Expect::Classic, 3,
         {"RelativeToTheCursor was skipped: a classic console window refuses nothing that the "
          "tests need.", help + ": a classic console window refuses nothing that the tests need."}},
        {judge::Expect::Pseudoconsole, 3, {help + "."}},
        {judge::Expect::Pseudoconsole, 0, {help + ".", "run-tests: no test passed."}},
    };
    for (const auto& c : cases) {
        suite.passed = c.passed;
        judge::Run run{"", {suite}, {}};
        judge::CheckExpectation(c.expect, run);
        ASSERT_EQ(run.problems.size(), c.ends.size());
        for (size_t i = 0; i < c.ends.size(); ++i)
            EXPECT_TRUE(run.problems[i].size() >= c.ends[i].size() &&
                        run.problems[i].compare(run.problems[i].size() - c.ends[i].size(),
                                                std::string::npos, c.ends[i]) == 0)
                << run.problems[i];
    }
    EXPECT_EQ(judge::WrongConsole(judge::Expect::Classic, "a pseudoconsole (Wine's), on Windows 10"),
              "/expect classic wants a classic console window, and this is a pseudoconsole "
              "(Wine's), on Windows 10; nothing was run");
    EXPECT_EQ(judge::WrongConsole(judge::Expect::Pseudoconsole, "a classic console window, on W"),
              "/expect pseudoconsole wants a pseudoconsole, and this is a classic console "
              "window, on W; nothing was run");
    EXPECT_EQ(judge::WrongConsole(judge::Expect::Classic, "a classic console window (Wine's)"), "");
}

TEST(KitJudge, GoogleTestsSettingsAndTheWindowsWait)
{
    for (const wchar_t* entry : {L"GTEST_FILTER=*", L"gtest_color=yes", L"TESTBRIDGE_TEST_ONLY=x",
                                 L"XML_OUTPUT_FILE=x", L"TEST_PREMATURE_EXIT_FILE=x"})
        EXPECT_TRUE(judge::IsGoogleTestSetting(entry)) << entry;
    for (const wchar_t* entry : {L"GTESTS=1", L"PATH=GTEST_", L"CELLATTR_TEST_HANG=A.B", L"=C:=C:\\"})
        EXPECT_FALSE(judge::IsGoogleTestSetting(entry)) << entry;

    const std::vector<std::wstring> goes[] = {
        {},
        {L"C:\\windows\\system32\\cmd.exe /c \"\"C:\\kit & co\\run-tests.cmd\" \""},
        {L"\"C:\\Windows\\System32\\cmd.exe\" /d /s /C \"\"C:\\kit\\run-tests.cmd\"\""},
    };
    const std::vector<std::wstring> stays[] = {
        {L"\"C:\\Windows\\system32\\cmd.exe\" "},
        {L"cmd.exe /k \"C:\\kit\\run-tests.cmd\""},
        {L"powershell.exe -NoExit -Command C:\\kit\\run-tests.cmd /c"},
        {L"cmd.exe /c x", L"C:\\Windows\\explorer.exe"},
    };
    for (const auto& others : goes)
        EXPECT_TRUE(judge::ConsoleGoesWithUs(others)) << others.size();
    for (const auto& others : stays)
        EXPECT_FALSE(judge::ConsoleGoesWithUs(others)) << others.size();
}

}  // namespace
