// timelimit.exe - runs a command line for at most a given time, for the test
// kit: run-tests.cmd, measure-cost.cmd and run-demo.cmd start every program
// through it, so that one that waits for something that never comes ends as
// a failure instead of holding the kit for good.
//
//   timelimit SECONDS COMMAND [ARGUMENTS...]
//
// Runs the rest of its own command line, exactly as written, on this
// program's console, in a job of its own, and ends with the command's exit
// code.  When SECONDS (1 to 86400) pass first, it ends the command and
// whatever the command started, and exits with 124 (as coreutils' timeout
// does).  Its own failures (no SECONDS, a command that does not start) are
// told in one line on standard error, with exit code 125.
//
// The command gets this program's three standard handles and no other
// handle of ours: the kit holds its lock file open in a handle that cmd
// lets its children inherit, and a program left behind must not keep it.
// It also inherits our error mode, which shows no box when a DLL is missing
// or a program crashes (the loader's "The code execution cannot proceed",
// Windows Error Reporting's): the program ends with the code that says
// what happened, and the kit reports it, instead of waiting for a click.
#include <windows.h>

#include "../standin/command_line.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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
// this program ends for any reason.  Null where the system refuses one.
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

// Our standard handles that the command is to inherit, each once: those
// that can be made inheritable (a console's handle on an old Windows is a
// pseudo handle, which cannot, and reaches the child by its value).
std::vector<HANDLE> StandardHandles(STARTUPINFOW* startup)
{
    std::vector<HANDLE> list;
    HANDLE* slots[] = {&startup->hStdInput, &startup->hStdOutput, &startup->hStdError};
    const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (size_t i = 0; i < 3; ++i) {
        HANDLE handle = GetStdHandle(ids[i]);
        *slots[i] = handle;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
            continue;
        bool listed = false;
        for (HANDLE h : list)
            listed = listed || h == handle;
        if (!listed && SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            list.push_back(handle);
    }
    startup->dwFlags |= STARTF_USESTDHANDLES;
    return list;
}

// Starts the command suspended, inheriting only `handles`.
bool Start(std::wstring line, STARTUPINFOW startup, std::vector<HANDLE> handles,
           PROCESS_INFORMATION* process)
{
    STARTUPINFOEXW extended{};
    extended.StartupInfo = startup;
    extended.StartupInfo.cb = sizeof extended;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    extended.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    bool listed = !handles.empty() &&
                  InitializeProcThreadAttributeList(extended.lpAttributeList, 1, 0, &size);
    if (listed && !UpdateProcThreadAttribute(extended.lpAttributeList, 0,
                                             PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                             handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
        DeleteProcThreadAttributeList(extended.lpAttributeList);
        return false;
    }
    // Suspended until it is in the job, so that nothing it starts escapes.
    DWORD flags = CREATE_SUSPENDED | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, listed ? TRUE : FALSE,
                                  flags, nullptr, nullptr, &extended.StartupInfo, process);
    if (listed)
        DeleteProcThreadAttributeList(extended.lpAttributeList);
    return started;
}

}  // namespace

int main()
{
    std::wstring command = command_line::Tail();
    std::wstring given = command_line::TakeWord(command);
    unsigned seconds = 0;
    if (!ParseSeconds(given, &seconds) || command.empty())
        return Fail(L"usage: timelimit SECONDS COMMAND [ARGUMENTS...], SECONDS from 1 to 86400");
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::vector<HANDLE> handles = StandardHandles(&startup);
    PROCESS_INFORMATION process{};
    if (!Start(command, startup, handles, &process))
        return Fail(L"cannot start " + command + L" (error " + std::to_wstring(GetLastError()) +
                    L")");
    HANDLE job = MakeJob();
    if (job == nullptr || !AssignProcessToJobObject(job, process.hProcess)) {
        Fail(L"no job of its own for " + command + L" (error " + std::to_wstring(GetLastError()) +
             L"): at the time limit only it is ended, and what it started lives on");
        if (job != nullptr)
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
