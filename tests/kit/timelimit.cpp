// timelimit.exe - runs a command line for at most a given time, for the test
// kit: run-tests.cmd starts each test program through it, so that a test
// that waits for something that never comes ends as a failure instead of
// holding the kit for good.
//
//   timelimit SECONDS COMMAND [ARGUMENTS...]
//
// Runs the rest of its own command line, exactly as written, with this
// program's standard handles and console, in a job of its own, and ends
// with the command's exit code.  When SECONDS (1 to 86400) pass first, it
// ends the command and whatever the command started, and exits with 124
// (as coreutils' timeout does).  Its own failures (no SECONDS, a command
// that does not start) are told in one line on standard error, with exit
// code 125.
#include <windows.h>

#include "../../standin/command_line.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kTimedOut = 124;
constexpr int kOwnFailure = 125;
constexpr unsigned kMostSeconds = 86400;

int Fail(const std::wstring& what)
{
    std::fwprintf(stderr, L"timelimit: %ls\n", what.c_str());
    return kOwnFailure;
}

// "SECONDS", a plain decimal number from 1 to kMostSeconds, into *seconds.
bool ParseSeconds(const std::wstring& text, unsigned* seconds)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of(L"0123456789") != text.npos)
        return false;
    *seconds = static_cast<unsigned>(std::wcstoul(text.c_str(), nullptr, 10));
    return *seconds >= 1 && *seconds <= kMostSeconds;
}

// A job that ends everything in it when its last handle closes: ours, when
// this program ends for any reason.  Null where the system refuses one (a
// job that allows no nested jobs, on Windows before 8); then only the
// command itself is ended on time-out.
HANDLE MakeJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

}  // namespace

int main()
{
    std::wstring command = command_line::Tail();
    std::wstring given = command_line::TakeWord(command);
    unsigned seconds = 0;
    if (!ParseSeconds(given, &seconds) || command.empty())
        return Fail(L"usage: timelimit SECONDS COMMAND [ARGUMENTS...], SECONDS from 1 to 86400");

    HANDLE job = MakeJob();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process))
        return Fail(L"cannot start " + command + L" (error " + std::to_wstring(GetLastError()) +
                    L")");
    if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    DWORD code = kTimedOut;
    if (WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else if (job != nullptr) {
        TerminateJobObject(job, kTimedOut);
    } else {
        TerminateProcess(process.hProcess, kTimedOut);
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    if (job != nullptr)
        CloseHandle(job);
    return static_cast<int>(code);
}
