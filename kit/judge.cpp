// judge.cpp - the test kit's judgement (judge.h): GoogleTest's JSON reports,
// read with nlohmann-json, in the shapes of GoogleTest 1.12 to 1.17.  A list
// report names each suite and its tests; a run report gives each test a
// "result" (COMPLETED, SKIPPED, or SUPPRESSED for one not run), its
// "failures", and the properties it recorded as members of its own.  A
// failure outside any test is reported as a test without a name: of the
// suite "NonTestSuiteFailure" for the test environment, and (from 1.15 on)
// of its own suite for a suite's set-up.
#include "judge.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <set>

namespace judge {
namespace {

using nlohmann::json;

constexpr const char* kUnreadable = "its report is unreadable, cut off or does not add up";

// The program's strings reach the report as it wrote them, and a failure
// message may carry text of the system's code page: such bytes become "?",
// so that a report is not unreadable for one accented letter.
std::string ValidUtf8(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool whole = n > 0 && i + n <= text.size();
        for (size_t k = 1; whole && k < n; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
        if (whole) {
            out.append(text, i, n);
            i += n;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

// The report's suites, or nothing where it is not a GoogleTest report as a
// whole: unreadable, cut off, or with a count that does not add up.
std::optional<json> Suites(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    json report = json::parse(ValidUtf8(*text), nullptr, false);
    try {
        int named = 0;
        for (const json& suite : report.at("testsuites")) {
            suite.at("name").get<std::string>();
            for (const json& test : suite.at("testsuite"))
                named += test.at("name").get<std::string>().empty() ? 0 : 1;
        }
        if (report.at("tests").get<int>() == named)
            return report.at("testsuites");
    } catch (const json::exception&) {
    }
    return std::nullopt;
}

std::string Property(const json& test, const char* key)
{
    auto it = test.find(key);
    return it != test.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Each line of `text` that is not empty, onto `lines`.
void Lines(const std::string& text, std::vector<std::string>& lines)
{
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        if (end > at)
            lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
}

}  // namespace

std::string ExitCode(const Step& step)
{
    char number[16];
    std::snprintf(number, sizeof number, step.exitCode >= 0x80000000u ? "0x%08X" : "%u",
                  static_cast<unsigned>(step.exitCode));
    std::string words = step.codeWords;
    while (!words.empty() && (words.back() == '.' || words.back() == ' '))
        words.pop_back();
    std::string text = "exit code " + std::string(number);
    return words.empty() ? text : text + " (" + words + ")";
}

std::string StepFault(const Step& step, const char* doing)
{
    if (!step.notStarted.empty())
        return "it could not be started: " + step.notStarted;
    if (step.timedOut)
        return "it did not " + std::string(doing) + " within " + std::to_string(step.limit) +
               " s, and was ended";
    return {};
}

Verdict JudgeSuite(const SuiteRun& suite)
{
    Verdict verdict;
    auto fail = [&](const std::string& why) {
        verdict = Verdict{};
        verdict.problems.push_back("** " + suite.program + " counts as one failure: " + why + ".");
        return verdict;
    };
    if (suite.missing)
        return fail("it is missing from stand-in-host");

    // The tests it lists.
    std::string fault = StepFault(suite.list, "list its tests");
    if (!fault.empty())
        return fail(fault);
    if (suite.list.exitCode != 0)
        return fail("it could not list its tests: it ended with " + ExitCode(suite.list));
    std::optional<json> listed = Suites(suite.list.report);
    if (!listed)
        return fail(suite.list.report ? "its list of tests is unreadable, cut off or does not add up"
                                      : "it wrote no list of its tests");
    std::vector<std::string> names;
    for (const json& s : *listed)
        for (const json& test : s.at("testsuite"))
            names.push_back(s.at("name").get<std::string>() + "." + test.at("name").get<std::string>());
    if (names.empty())
        return fail("it listed no tests");

    // How its run ended, and its report.
    fault = StepFault(suite.run, "end");
    if (suite.run.timedOut) {
        std::string running;
        if (suite.progress)
            running = suite.progress->substr(0, suite.progress->find_first_of("\r\n"));
        return fail(fault + (!suite.progress ? " before its first test began"
                             : running.empty() ? " between tests, none of them running"
                                               : " while running " + running));
    }
    if (!fault.empty())
        return fail(fault);
    std::optional<json> reported = Suites(suite.run.report);
    if (!reported)
        return fail((suite.run.report ? kUnreadable : "it wrote no report of its run") +
                    std::string(", and ended with ") + ExitCode(suite.run));

    std::set<std::string> unreported(names.begin(), names.end());
    auto problem = [&](const std::string& why) {
        verdict.problems.push_back("** " + suite.program + " counts as one failure: " + why + ".");
    };
    bool anyFailure = false;
    try {
        for (const json& s : *reported) {
            for (const json& test : s.at("testsuite")) {
                const std::string own = test.at("name").get<std::string>();
                const std::string name = s.at("name").get<std::string>() + "." + own;
                const bool failed = test.contains("failures");
                const std::string result = Property(test, "result");
                anyFailure = anyFailure || failed;
                if (own.empty()) {
                    std::string message = failed ? test.at("failures").at(0).value("failure", "") : "";
                    std::replace(message.begin(), message.end(), '\n', ' ');
                    while (!message.empty() && message.back() == ' ')
                        message.pop_back();
                    problem("it reports a failure outside any test (" + s.at("name").get<std::string>() +
                            "): " + message);
                } else if (std::find(names.begin(), names.end(), name) == names.end()) {
                    problem("it reports " + name + ", which it did not list");
                } else if (unreported.erase(name) == 0) {
                    problem("it reports " + name + " more than once");
                } else if (failed) {
                    ++verdict.failed;
                    verdict.failedTests.push_back(name);
                } else if (result == "COMPLETED") {
                    ++verdict.passed;
                } else if (result == "SKIPPED") {
                    ++verdict.skipped;
                    verdict.skippedTests.push_back(name);
                    std::string why = Property(test, "skip_reason");
                    if (why.empty())
                        problem(name + " was skipped without saying why");
                    else
                        verdict.reasons.push_back(name + ": " + why);
                } else {
                    problem("it reports " + name + " as not run (" + result + ")");
                }
                Lines(Property(test, "findings"), verdict.findings);
            }
        }
    } catch (const json::exception&) {
        return fail(kUnreadable + std::string(", and ended with ") + ExitCode(suite.run));
    }
    for (const std::string& name : unreported)
        problem("it lists " + name + ", but does not report it");

    // GoogleTest ends with 1 where anything failed, else with 0.
    if (suite.run.exitCode != (anyFailure ? 1u : 0u))
        return fail("it ended with " + ExitCode(suite.run) + ", though its report shows " +
                    (anyFailure ? "failures" : "no failure"));
    return verdict;
}

std::string WrongConsole(Expect expect, std::string_view console)
{
    const char* wanted = expect == Expect::Classic         ? "a classic console window"
                         : expect == Expect::Pseudoconsole ? "a pseudoconsole"
                                                           : "";
    if (console.compare(0, std::string_view(wanted).size(), wanted) == 0)
        return {};
    return std::string("/expect ") + (expect == Expect::Classic ? "classic" : "pseudoconsole") +
           " wants " + wanted + ", and this is " + std::string(console) + "; nothing was run";
}

void CheckExpectation(Expect expect, Run& run)
{
    if (expect == Expect::Nothing)
        return;
    for (const Verdict& suite : run.suites) {
        for (const std::string& name : suite.skippedTests) {
            if (expect == Expect::Classic)
                run.problems.push_back("run-tests: /expect classic allows no skipped test, and " +
                                       name + " was skipped: a classic console window refuses "
                                       "nothing that the tests need.");
            else if (std::find(std::begin(kMayNeedALargerBuffer), std::end(kMayNeedALargerBuffer),
                               name) == std::end(kMayNeedALargerBuffer))
                run.problems.push_back("run-tests: /expect pseudoconsole allows a skip only of a "
                                       "test that needs a buffer larger than the window, and " +
                                       name + " was skipped.");
        }
    }
    if (Count(run).passed == 0)
        run.problems.push_back("run-tests: no test passed.");
}

Totals Count(const Run& run)
{
    Totals totals;
    for (const Verdict& suite : run.suites) {
        totals.passed += suite.passed;
        totals.failed += suite.failed + static_cast<int>(suite.problems.size());
        totals.skipped += suite.skipped;
    }
    totals.failed += static_cast<int>(run.problems.size());
    return totals;
}

std::string ClosingLine(const Totals& totals)
{
    std::string line = std::to_string(totals.passed) + " passed, " +
                       std::to_string(totals.failed) + " failed";
    return totals.skipped == 0 ? line : line + ", " + std::to_string(totals.skipped) + " skipped";
}

std::string Summary(const std::string& heading, const Run& run)
{
    Totals totals = Count(run);
    std::vector<std::string> failures, reasons, findings;
    for (const Verdict& suite : run.suites) {
        for (const std::string& name : suite.failedTests)
            failures.push_back("failed: " + name);
        failures.insert(failures.end(), suite.problems.begin(), suite.problems.end());
        reasons.insert(reasons.end(), suite.reasons.begin(), suite.reasons.end());
        findings.insert(findings.end(), suite.findings.begin(), suite.findings.end());
    }
    failures.insert(failures.end(), run.problems.begin(), run.problems.end());
    std::string text = "### " + heading + ": " + run.console + "\n\n`" + ClosingLine(totals) +
                       "`, exit code " + (totals.failed == 0 ? "0" : "1") + ".\n\n";
    auto part = [&](const char* title, const std::vector<std::string>& lines) {
        if (lines.empty())
            return;
        text += std::string(title) + "\n\n```text\n";
        for (const std::string& line : lines)
            text += line + "\n";
        text += "```\n\n";
    };
    part("What failed:", failures);
    part("Skipped, each with its reason:", reasons);
    part("Findings: where this Windows and the native build's space table differ, the table is "
         "to be mended.", findings);
    return text;
}

bool IsGoogleTestSetting(std::wstring_view entry)
{
    std::wstring name(entry.substr(0, entry.find(L'=', 1)));
    for (wchar_t& c : name)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return name.rfind(L"GTEST_", 0) == 0 || name.rfind(L"TESTBRIDGE_", 0) == 0 ||
           name == L"XML_OUTPUT_FILE" || name == L"TEST_PREMATURE_EXIT_FILE";
}

bool ConsoleGoesWithUs(const std::vector<std::wstring>& others)
{
    if (others.empty())
        return true;
    if (others.size() > 1)
        return false;
    // The switches after the program's name, up to the command: /c among them.
    const std::wstring& line = others[0];
    if (line.empty())
        return false;
    size_t at = line[0] == L'"' ? line.find(L'"', 1) : line.find_first_of(L" \t");
    while (at != std::wstring::npos && at < line.size()) {
        at = line.find_first_not_of(L" \t\"", at + 1);
        if (at == std::wstring::npos || line[at] != L'/')
            return false;
        if (at + 1 < line.size() && (line[at + 1] == L'c' || line[at + 1] == L'C'))
            return true;
        at = line.find_first_of(L" \t", at);
    }
    return false;
}

}  // namespace judge
