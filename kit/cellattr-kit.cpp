// cellattr-kit.exe - the test kit's runner, started by the kit's batch
// files (each one's usage is where it is refused, below): it runs every
// program of the kit under a time limit, in a job, with our standard handles
// alone and without GoogleTest's settings, and judges what they report
// (judge.h), ending with "N passed, M failed[, K skipped]".  QuickEdit is off
// for the run.  A fail-fast crash may meet Error Reporting's dialog
// (no_fault_ui.h).
//
// For tests only: CELLATTR_TEST_TIME_LIMIT=SECONDS shortens each suite's
// time limits, so that tools/kit-test.sh can end a suite that never ends.
#include "judge.h"
#include "kit_suites.h"

#include "../windows/command_line.h"
#include "../windows/console_layout.h"
#include "../windows/no_fault_ui.h"
#include "../windows/files.h"
#include "../windows/process.h"

#include <windows.h>
#include <winternl.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* gName = "cellattr-kit";  // the subcommand, as its lines start

constexpr DWORD kSuiteSeconds = 300, kListSeconds = 60, kCostSeconds = 600, kDemoSeconds = 300;
constexpr DWORD kKeySeconds = 300;

bool IsConsole(HANDLE handle)
{
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

// A line on standard output: as text on a console, in UTF-8 elsewhere.
void Say(const std::string& line)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written;
    if (IsConsole(out)) {
        std::wstring text;
        Utf16(line + "\r\n", &text);
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        std::string text = line + "\r\n";
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// A whole file, or nothing where it cannot be opened.
std::optional<std::string> ReadAll(const std::wstring& path)
{
    std::string text;
    return ReadFileBytes(path, &text) ? std::optional<std::string>(text) : std::nullopt;
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
}

// The system's words for an exit code that is a status of Windows
// (0xC0000005 and the like): its error's text, or else ntdll's own.
std::string CodeWords(DWORD code)
{
    if (code < 0x80000000u)
        return {};
    ULONG error = RtlNtStatusToDosError(static_cast<NTSTATUS>(code));
    std::string words = error != ERROR_MR_MID_NOT_FOUND ? SystemText(error) : std::string();
    return words.empty() ? SystemText(code, GetModuleHandleW(L"ntdll.dll")) : words;
}

// "Access is denied (error 5)": the system's words for an error, and its number.
std::string ErrorWords(DWORD error)
{
    std::string words = SystemText(error);
    while (!words.empty() && words.back() == '.')
        words.pop_back();
    const std::string number = "error " + std::to_string(error);
    return words.empty() ? number : words + " (" + number + ")";
}

// Runs `program arguments` in `folder` for at most `seconds`, in a job of
// its own that ends it and what it started, with our standard handles alone
// (its output to NUL where `quiet`).
judge::Step Start(const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& folder, DWORD seconds, bool quiet = false)
{
    judge::Step step;
    step.limit = seconds;
    HANDLE nul = quiet ? CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr)
                       : INVALID_HANDLE_VALUE;
    ProcessStart start;
    start.line = L"\"" + program + L"\" " + arguments;
    start.program = program.c_str();
    start.folder = folder.c_str();
    // Suspended until it is in the job, so that nothing it starts escapes.
    start.flags = CREATE_SUSPENDED;
    start.handles = true;
    start.in = GetStdHandle(STD_INPUT_HANDLE);
    start.out = quiet ? nul : GetStdHandle(STD_OUTPUT_HANDLE);
    start.err = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (DWORD error = StartProcess(start, &process); error != 0) {
        step.notStarted = ErrorWords(error);
    } else {
        HANDLE job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
        // Assigning fails where we are in a job that allows none inside it
        // (before Windows 8): then the program is ended by itself.  For tests
        // only, CELLATTR_TEST_NO_JOB=1 fails it so.
        wchar_t noJob[2];
        const bool inJob = job != nullptr &&
                           SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                                                   &limits, sizeof limits) &&
                           (GetEnvironmentVariableW(L"CELLATTR_TEST_NO_JOB", noJob, 2) == 1
                                ? (SetLastError(ERROR_ACCESS_DENIED), false)
                                : AssignProcessToJobObject(job, process.hProcess) != 0);
        static bool toldNoJob = false;
        if (!inJob && !toldNoJob) {
            toldNoJob = true;
            Say(std::string(gName) + ": no job for the test programs (" + ErrorWords(GetLastError()) +
                "): at a time limit only the program itself is ended, and what it started lives on");
        }
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        if (WaitForSingleObject(process.hProcess, seconds * 1000) != WAIT_OBJECT_0) {
            step.timedOut = true;
            if (!inJob || !TerminateJobObject(job, 1))
                TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        step.exitCode = code;
        step.codeWords = CodeWords(code);
        CloseHandle(process.hProcess);
        if (job != nullptr)
            CloseHandle(job);
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    return step;
}

// "10.0.20348.2582": the version the kernel reports (RtlGetVersion, which no
// compatibility shim changes), and the update revision the registry keeps.
std::string WindowsVersion()
{
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using GetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    auto get = reinterpret_cast<GetVersionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (get == nullptr || get(&info) != 0)
        return "an unknown version";
    std::string version = std::to_string(info.dwMajorVersion) + "." +
                          std::to_string(info.dwMinorVersion) + "." +
                          std::to_string(info.dwBuildNumber);
    DWORD revision = 0, size = sizeof revision;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                     RRF_RT_REG_DWORD, nullptr, &revision, &size) == ERROR_SUCCESS)
        version += "." + std::to_string(revision);
    return version;
}

// Another process's command line, read from its process parameters; empty
// where it cannot be read.
std::wstring CommandLineOf(DWORD id)
{
    std::wstring line;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr)
        return line;
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic,
                                  nullptr) == 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters,
                          nullptr)) {
        line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(),
                               parameters.CommandLine.Length, nullptr))
            line.clear();
    }
    CloseHandle(process);
    return line;
}

// Whether a person may be looking at a window that closes when we end: our
// input and output are its console, and no other process will keep it.
bool WindowClosesWithUs()
{
    if (!IsConsole(GetStdHandle(STD_INPUT_HANDLE)) || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
        return false;
    DWORD ids[64];
    DWORD n = GetConsoleProcessList(ids, 64);
    if (n == 0 || n > 64)
        return false;
    std::vector<std::wstring> others;
    for (DWORD i = 0; i < n; ++i)
        if (ids[i] != GetCurrentProcessId())
            others.push_back(CommandLineOf(ids[i]));
    return judge::ConsoleGoesWithUs(others);
}

// A click in a classic console window, where QuickEdit is on, starts a
// selection, and every write to the console waits until it ends: QuickEdit
// is off while we run, and the person's mode comes back however we end.
HANDLE gInput = nullptr;
DWORD gInputMode = 0;

void RestoreInputMode()
{
    if (gInput != nullptr)
        SetConsoleMode(gInput, gInputMode | ENABLE_EXTENDED_FLAGS);
}

BOOL WINAPI RestoreOnBreak(DWORD)
{
    RestoreInputMode();
    return FALSE;  // on to the default handler, which ends us
}

void TurnOffQuickEdit()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (!GetConsoleMode(in, &mode) ||
        !SetConsoleMode(in, (mode | ENABLE_EXTENDED_FLAGS) & ~ENABLE_QUICK_EDIT_MODE))
        return;
    gInput = in, gInputMode = mode;
    SetConsoleCtrlHandler(RestoreOnBreak, TRUE);
}

// Waits for a key, or kKeySeconds, whichever comes first.
void WaitForAKey()
{
    Say(std::string(gName) + ": press a key to close this window.");
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(in);
    for (DWORD start = GetTickCount(), spent = 0; spent < kKeySeconds * 1000;
         spent = GetTickCount() - start) {
        if (WaitForSingleObject(in, kKeySeconds * 1000 - spent) != WAIT_OBJECT_0)
            return;
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(in, &record, 1, &got))
            return;
        if (got == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
    }
}

// A folder of our own under %TEMP%, new, whose name GoogleTest's narrow
// file calls can open (its short name where the long one is outside the
// system's code page); empty, and *why, where there is none.
std::wstring NewFolder(const wchar_t* prefix, std::string* why)
{
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp), error = GetLastError();
    for (int i = 0; i < 100 && n > 0 && n <= MAX_PATH; ++i) {
        std::wstring folder = temp + std::wstring(prefix) + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount() + i);
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS)
                continue;
            break;
        }
        BOOL lost = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, nullptr, 0, nullptr,
                            &lost);
        wchar_t shortName[MAX_PATH];
        if (lost) {
            DWORD m = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortName, -1, nullptr, 0, nullptr,
                                &lost);
            if (m == 0 || m >= MAX_PATH || lost) {
                RemoveDirectoryW(folder.c_str());
                *why = "its path has letters outside this Windows' code page, which the test "
                       "programs cannot open, and no short name (8.3 names are off on that drive)";
                return {};
            }
            folder = shortName;
        }
        return folder + L"\\";
    }
    *why = ErrorWords(error);
    return {};
}

// Removes a folder of ours and the files in it (the logs make no folders).
void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileW((folder + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The kit's folder and the programs' (stand-in-host, where we are).
struct Kit {
    std::wstring programs, folder;
};

Kit Here()
{
    wchar_t self[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring programs = FolderOf(std::wstring(self, n));
    return {programs, FolderOf(programs.substr(0, programs.size() - 1))};
}

// One suite: its program's list of tests, then its run, each with a report.
judge::Verdict RunSuite(const Kit& kit, const KitSuite& suite, const std::wstring& logs,
                        DWORD seconds)
{
    judge::SuiteRun run;
    run.program = Utf8(suite.program);
    const std::wstring program = kit.programs + suite.program;
    run.missing = !Exists(program);
    if (!run.missing) {
        CreateDirectoryW(logs.c_str(), nullptr);
        // Reports by relative names, in the suite's own log folder: GoogleTest
        // opens them with narrow calls.
        run.list = Start(program, L"--gtest_list_tests --gtest_output=json:list.json", logs,
                         std::min(seconds, kListSeconds), true);
        run.list.report = ReadAll(logs + L"list.json");
        if (run.list.notStarted.empty() && !run.list.timedOut && run.list.exitCode == 0 &&
            run.list.report) {
            SetEnvironmentVariableW(L"CELLATTR_TEST_PROGRESS", L"progress.txt");
            run.run = Start(program, L"--gtest_brief=1 --gtest_color=no --gtest_output=json:run.json",
                            logs, seconds);
            SetEnvironmentVariableW(L"CELLATTR_TEST_PROGRESS", nullptr);
            run.run.report = ReadAll(logs + L"run.json");
            run.progress = ReadAll(logs + L"progress.txt");
        }
    }
    judge::Verdict verdict = judge::JudgeSuite(run);
    for (const std::string& reason : verdict.reasons)
        Say("skipped: " + reason);
    for (const std::string& finding : verdict.findings)
        Say("finding: " + finding);
    for (const std::string& problem : verdict.problems)
        Say(problem);
    RemoveFolder(logs);
    return verdict;
}

// GoogleTest's settings go from our environment, and so from the programs'.
void ClearGoogleTestSettings()
{
    std::vector<std::wstring> names;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1)
        if (judge::IsGoogleTestSetting(entry))
            names.push_back(std::wstring(entry, wcschr(entry + 1, L'=') - entry));
    FreeEnvironmentStringsW(block);
    for (const std::wstring& name : names)
        SetEnvironmentVariableW(name.c_str(), nullptr);
}

// Each suite's time limit: CELLATTR_TEST_TIME_LIMIT may only shorten it.
DWORD SuiteSeconds()
{
    wchar_t value[16];
    DWORD n = GetEnvironmentVariableW(L"CELLATTR_TEST_TIME_LIMIT", value, 16);
    DWORD seconds = n > 0 && n < 16 ? wcstoul(value, nullptr, 10) : 0;
    return seconds >= 1 && seconds < kSuiteSeconds ? seconds : kSuiteSeconds;
}

// The end of a run that ran no suite: its one line, told to the summary too.
int Refuse(const std::wstring& summary, const std::string& line, bool closing)
{
    Say(line);
    if (closing)
        Say("0 passed, 1 failed");
    if (!summary.empty())
        WriteFileBytes(summary, "### " + std::string(gName) + "\n\n" + line + " Exit code 1.\n\n", true);
    return 1;
}

int RunTests(const Kit& kit, const std::vector<std::wstring>& args)
{
    judge::Expect expect = judge::Expect::Nothing;
    std::wstring summary;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool value = i + 1 < args.size();
        if (_wcsicmp(args[i].c_str(), L"/expect") == 0 && value &&
            _wcsicmp(args[i + 1].c_str(), L"classic") == 0)
            expect = judge::Expect::Classic, ++i;
        else if (_wcsicmp(args[i].c_str(), L"/expect") == 0 && value &&
                 _wcsicmp(args[i + 1].c_str(), L"pseudoconsole") == 0)
            expect = judge::Expect::Pseudoconsole, ++i;
        else if (_wcsicmp(args[i].c_str(), L"/summary") == 0 && value)
            summary = FullPath(args[++i]);
        else
            return Refuse({}, "run-tests: usage: run-tests.cmd [/expect classic|pseudoconsole] "
                              "[/summary FILE]", false);
    }
    // Windows looks for a program's DLLs along a list of folders separated
    // by ";": from such a folder the programs could not load TakeCmd.dll.
    if (kit.programs.find(L';') != std::wstring::npos)
        return Refuse(summary, "run-tests: the kit's folder name has a \";\", and Windows cannot "
                               "load the test programs' DLLs from such a folder: unpack the kit "
                               "into a folder without \";\" in its name.", true);
    // One run at a time for each user: a file in %TEMP% that this run alone
    // holds open, and that goes when it ends, however it ends.
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring lockName = std::wstring(temp, n <= MAX_PATH ? n : 0) + L"cellattr-kit.lock";
    HANDLE lock = CreateFileW(lockName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
        return Refuse({}, "run-tests: another run of the kit is in progress for this user, holding "
                          "\"" + Utf8(lockName) + "\": run it again when that one has ended.",
                      false);
    // Access is denied where the file is read-only, or still held by a
    // program (a virus scanner) after an earlier run deleted it.
    if (lock == INVALID_HANDLE_VALUE)
        return Refuse(summary, "run-tests: cannot open the lock file \"" + Utf8(lockName) +
                                   "\", which keeps two runs apart: " +
                                   ErrorWords(GetLastError()) + ".", true);
    std::string why;
    const std::wstring logs = NewFolder(L"cellattr-kit-", &why);
    if (logs.empty()) {
        CloseHandle(lock);
        return Refuse(summary, "run-tests: cannot make a new folder for the logs under TEMP (\"" +
                                   Utf8(std::wstring(temp, n <= MAX_PATH ? n : 0)) + "\"): " +
                                   why + ".", true);
    }

    judge::Run run;
    run.console = console_layout::Kind() + ", on Windows " + WindowsVersion();
    // What the run was asked to prove, said first, so that a job's summary
    // shows that the argument reached us.
    const std::string asked = expect == judge::Expect::Classic         ? "/expect classic"
                              : expect == judge::Expect::Pseudoconsole ? "/expect pseudoconsole"
                                                                       : "no /expect";
    Say("run-tests: running in " + run.console + ", with " + asked);
    std::string wrong = expect == judge::Expect::Nothing ? "" : judge::WrongConsole(expect, run.console);
    if (!wrong.empty()) {
        run.problems.push_back("run-tests: " + wrong + ".");
    } else {
        ClearGoogleTestSettings();
        const DWORD seconds = SuiteSeconds();
        int number = 0;
        for (const KitSuite& suite : kSuites) {
            Say(std::string("== ") + suite.heading);
            run.suites.push_back(
                RunSuite(kit, suite, logs + std::to_wstring(++number) + L"\\", seconds));
        }
        Say("");
        if (const int skipped = judge::Count(run).skipped; skipped > 0)
            Say("run-tests: this console refused what " + std::to_string(skipped) +
                " tests need, each as said above. A classic console window allows it: to run "
                "them too, type conhost.exe in the Run box, Windows+R, and run run-tests.cmd in "
                "the window that opens.");
        judge::CheckExpectation(expect, run);
    }
    for (const std::string& problem : run.problems)
        Say(problem);
    if (!summary.empty() && WriteFileBytes(summary, judge::Summary("run-tests (" + asked + ")", run), true) != 0)
        run.problems.push_back("run-tests: cannot write the summary to \"" + Utf8(summary) + "\".");
    RemoveDirectoryW(logs.c_str());
    CloseHandle(lock);
    const judge::Totals totals = judge::Count(run);
    Say(judge::ClosingLine(totals));
    return totals.failed == 0 ? 0 : 1;
}

// A program that ran, as its batch file tells it; empty where it ended well.
std::string Ended(const std::wstring& program, const judge::Step& step)
{
    std::string fault = judge::StepFault(step, "end");
    if (fault.empty() && step.exitCode != 0)
        fault = "it ended with " + judge::ExitCode(step);
    return fault.empty() ? fault : Utf8(program) + ": " + fault;
}

int MeasureCost(const Kit& kit, const std::vector<std::wstring>& args)
{
    std::wstring rounds, summary;
    if (!command_line::CostArguments(args, &rounds, &summary))
        return Refuse({}, "measure-cost: usage: measure-cost.cmd [ROUNDS] [/summary FILE]", false);
    if (!summary.empty())
        summary = FullPath(summary);
    const std::wstring program = kit.programs + L"console_cost.exe";
    if (!Exists(program))
        return Refuse(summary, "measure-cost: console_cost.exe is missing from stand-in-host: "
                               "unpack the whole zip into a folder first, then run "
                               "measure-cost.cmd there.", false);
    std::wstring arguments = rounds;
    if (!summary.empty())
        arguments += L" /summary \"" + summary + L"\"";
    std::string ended = Ended(L"console_cost.exe", Start(program, arguments, kit.programs,
                                                         kCostSeconds));
    return ended.empty() ? 0 : Refuse(summary, "measure-cost: " + ended + ".", false);
}

int RunDemo(const Kit& kit, const std::vector<std::wstring>& args)
{
    if (args.size() > 1)
        return Refuse({}, "run-demo: usage: run-demo.cmd [PICTURE.svg]", false);
    const std::wstring picture = args.empty() ? kit.folder + L"screen.svg" : FullPath(args[0]);
    const std::wstring program = kit.programs + L"cmdproc.exe", demo = kit.folder + L"demo\\demo.btm";
    if (!Exists(program) || !Exists(demo))
        return Refuse({}, "run-demo: stand-in-host\\cmdproc.exe or demo\\demo.btm is missing: "
                          "unpack the whole zip into a folder first, then run run-demo.cmd there.",
                      false);
    std::string why;
    const std::wstring work = NewFolder(L"cellattr-demo-", &why);
    if (work.empty())
        return Refuse({}, "run-demo: cannot make a new folder to run the demo in under TEMP: " +
                              why + ".", false);
    // The demo's snap writes screen.svg into the folder it runs in.
    const std::wstring output = work + L"output.txt";
    judge::Step step = Start(program, L"/s /w /o \"" + output + L"\" /e \"" + output + L"\" \"" +
                                          demo + L"\"",
                             work, kDemoSeconds);
    std::optional<std::string> printed = ReadAll(output);
    DWORD written;
    if (printed)
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), printed->data(),
                  static_cast<DWORD>(printed->size()), &written, nullptr);
    Say("");
    std::string ended = Ended(L"cmdproc.exe", step);
    std::string said = !ended.empty() ? "run-demo: " + ended + ", and drew no picture."
                       : !Exists(work + L"screen.svg") ? "run-demo: the demo drew no picture."
                       : !CopyFileW((work + L"screen.svg").c_str(), picture.c_str(), FALSE)
                           ? "run-demo: cannot write the picture to \"" + Utf8(picture) + "\"."
                           : "";
    RemoveFolder(work);
    if (!said.empty())
        return Refuse({}, said, false);
    Say("run-demo: the picture of this console is in \"" + Utf8(picture) + "\"");
    return 0;
}

}  // namespace

int main()
{
    NoFaultUi();  // and the programs we start inherit the error mode
    TurnOffQuickEdit();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + (argc > 1 ? 2 : argc), argv + argc);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    LocalFree(argv);
    const Kit kit = Here();
    int status = 2;
    if (command == L"run-tests")
        gName = "run-tests", status = RunTests(kit, args);
    else if (command == L"measure-cost")
        gName = "measure-cost", status = MeasureCost(kit, args);
    else if (command == L"run-demo")
        gName = "run-demo", status = RunDemo(kit, args);
    else
        Say("usage: cellattr-kit run-tests|measure-cost|run-demo [ARGUMENTS...]");
    if (status != 2 && WindowClosesWithUs())
        WaitForAKey();
    RestoreInputMode();
    return status;
}
