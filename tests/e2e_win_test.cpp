// End to end: the stand-in command processor (cmdproc.exe, beside this
// program) runs each case of the cases folder (e2e beside the program's
// own folder, or the first argument) with the real CellAttr.dll, on this
// console, in a screen buffer of our own; its output, errors and exit code
// must equal the case's NAME.out, NAME.err and NAME.rc, once placeholders
// are filled ("The end-to-end cases" in docs/development.md).  The folder
// must hold exactly the cases built in (e2e_cases.h), so that a kit that
// lost one cannot pass with fewer tests.  A case that the console's size
// refuses is skipped with cmdproc's line; a help box of cmdproc's own is
// clicked away as it appears.
#include "e2e_cases.h"
#include "help_box_win.h"
#include "progress.h"
#include "skip.h"
#include "version_text.h"

#include "../windows/console_layout.h"
#include "../windows/files.h"
#include "../windows/no_fault_ui.h"
#include "../windows/process.h"
#include "../windows/scratch_console.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::wstring casesFolder;  // with a trailing backslash
std::wstring programFolder;

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// An expected file in the words of this machine (see the top of the file).
std::string Expected(const std::wstring& path)
{
    std::string text;
    if (!ReadFileBytes(path, &text))
        return {};
    ReplaceAll(text, "\n", "\r\n");
    ReplaceAll(text, "{version}", VersionText());  // before the folder, which may hold anything
    ReplaceAll(text, "{author}", CELLATTR_AUTHOR);
    ReplaceAll(text, "{email}", CELLATTR_EMAIL);
    ReplaceAll(text, "{web page}", CELLATTR_WEB_PAGE);
    ReplaceAll(text, "C:\\e2e\\", Utf8(casesFolder));
    const std::string placeholder = "{system text ";
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at)) {
        size_t close = text.find('}', at);
        std::string code = text.substr(at + placeholder.size(), close - at - placeholder.size());
        std::string systemText = SystemText(std::stoul(code));
        text.replace(at, close + 1 - at, systemText);
        at += systemText.size();
    }
    return text;
}

std::wstring TempFileName()
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"e2e", 0, path);
    return path;
}

HANDLE CreateForWriting(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

struct Run {
    DWORD exitCode = 0;
    std::string out, err;
    std::string failed = "cmdproc.exe did not end within a minute";  // or none, once it ended
};

// Clicks OK on every help box of `process` (the case's cmdproc.exe) that
// appears, until *stop is set.
void DismissHelpBoxes(DWORD process, const std::atomic<bool>* stop)
{
    while (!*stop) {
        HWND box = help_box::Find(process);
        if (box != nullptr)
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        Sleep(50);
    }
}

enum class Kind { Batch, InputFile, Pipe };

// Runs cmdproc.exe on one case, with the console this program has.  A batch
// case gets NUL as standard input (so _pipe is 0 however this program was
// started) and files as standard output and error; an input case has
// cmdproc send them to the files itself (/o, /e).
Run RunCase(const std::wstring& name, Kind kind)
{
    Run run;
    std::wstring outPath = TempFileName(), errPath = TempFileName();
    std::wstring command = L"\"" + programFolder + L"cmdproc.exe\"";
    HANDLE input = INVALID_HANDLE_VALUE, output = INVALID_HANDLE_VALUE,
           error = INVALID_HANDLE_VALUE, pipeWrite = INVALID_HANDLE_VALUE;
    std::string pipeText;
    if (kind == Kind::Batch) {
        command += L" \"" + name + L".btm\"";
        input = OpenForReading(L"NUL");
        output = CreateForWriting(outPath);
        error = CreateForWriting(errPath);
    } else {
        command += L" /o \"" + outPath + L"\" /e \"" + errPath + L"\"";
        output = OpenForReading(L"NUL");
        error = OpenForReading(L"NUL");
        if (kind == Kind::InputFile) {
            input = OpenForReading(casesFolder + name + L".in");
        } else {
            if (!CreatePipe(&input, &pipeWrite, nullptr, 0))
                input = INVALID_HANDLE_VALUE;
            ReadFileBytes(casesFolder + name + L".pipe", &pipeText);
        }
    }

    ProcessStart start{command, nullptr, casesFolder.c_str(), 0, true, input, output, error};
    PROCESS_INFORMATION process{};
    DWORD why = input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE ||
                        error == INVALID_HANDLE_VALUE
                    ? GetLastError()
                    : StartProcess(start, &process);
    bool started = why == 0;
    if (!started)
        run.failed = "cmdproc.exe could not be started: error " + std::to_string(why);
    for (HANDLE h : {input, output, error})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (pipeWrite != INVALID_HANDLE_VALUE) {
        DWORD written;
        if (started)
            WriteFile(pipeWrite, pipeText.data(), static_cast<DWORD>(pipeText.size()), &written,
                      nullptr);
        CloseHandle(pipeWrite);  // the end of cmdproc's input
    }
    if (started) {
        std::atomic<bool> stop{false};
        std::thread dismisser(DismissHelpBoxes, process.dwProcessId, &stop);
        DWORD waited = WaitForSingleObject(process.hProcess, 60000);
        stop = true;
        dismisser.join();
        if (waited == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &run.exitCode);
            run.failed.clear();
        } else {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    ReadFileBytes(outPath, &run.out);
    ReadFileBytes(errPath, &run.err);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return run;
}

void CheckCase(const std::wstring& name)
{
    // The cases paint and read window rows 0 to 5, up to 16 columns; a
    // smaller pane is asked to grow, and where it does not, nothing runs.
    if (scratch_console::Own() != INVALID_HANDLE_VALUE) {
        std::string refused = console_layout::AtLeast(scratch_console::Own(), 16, 6);
        if (!refused.empty())
            SKIP_SAYING(refused);
    }
    Kind kind = Exists(casesFolder + name + L".btm")  ? Kind::Batch
                : Exists(casesFolder + name + L".in") ? Kind::InputFile
                                                      : Kind::Pipe;
    ASSERT_TRUE(kind != Kind::Pipe || Exists(casesFolder + name + L".pipe"))
        << "neither NAME.btm, NAME.in nor NAME.pipe";
    Run run = RunCase(name, kind);
    ASSERT_EQ(run.failed, "");
    std::string rc;
    DWORD wantCode = ReadFileBytes(casesFolder + name + L".rc", &rc) ? std::stoul(rc) : 0;

    // A case that needs a window of a given size, on a console that refuses
    // it, ends with cmdproc's line saying what was refused and the exit code
    // for that: it is skipped, with that line.
    const std::string refused = "cmdproc: skipped: ";
    size_t at = run.err.rfind(refused);
    if (run.exitCode == console_layout::kRefusedExitCode && wantCode != run.exitCode &&
        at != std::string::npos && (at == 0 || run.err[at - 1] == '\n')) {
        size_t from = at + refused.size(), end = run.err.find_first_of("\r\n", from);
        SKIP_SAYING(run.err.substr(from, end == std::string::npos ? end : end - from));
    }

    // GoogleTest shows where the texts differ, with the line ends as \r\n.
    EXPECT_EQ(run.out, Expected(casesFolder + name + L".out")) << "standard output";
    EXPECT_EQ(run.err, Expected(casesFolder + name + L".err")) << "standard error";
    EXPECT_EQ(run.exitCode, wantCode) << "exit code";
}

class CaseTest : public ::testing::Test {
public:
    explicit CaseTest(std::wstring name) : name_(std::move(name)) {}
    void TestBody() override { CheckCase(name_); }

private:
    std::wstring name_;
};

// Every NAME.out of the folder is a case, in the order of their names.
std::vector<std::wstring> Cases()
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((casesFolder + L"*.out").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring file = found.cFileName;
        names.push_back(file.substr(0, file.size() - 4));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    NoFaultUi();
    ::testing::InitGoogleTest(&argc, argv);
    progress::Install();
    if (argc > 2) {
        std::fprintf(stderr, "usage: cellattr_e2e_tests [CASES_FOLDER] [GoogleTest flags]\n");
        return 2;
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    programFolder = FolderOf(self);
    std::wstring given = argc == 2 ? argv[1] : programFolder + L"..\\e2e";
    wchar_t full[MAX_PATH];
    GetFullPathNameW(given.c_str(), MAX_PATH, full, nullptr);
    casesFolder = full;
    if (casesFolder.back() != L'\\')
        casesFolder += L'\\';

    std::vector<std::wstring> cases = Cases(), built(std::begin(kCases), std::end(kCases));
    std::sort(built.begin(), built.end());
    if (cases != built) {
        std::fprintf(stderr, "cellattr_e2e_tests: %ls must hold the %zu cases it was built with, "
                     "and only those:", casesFolder.c_str(), built.size());
        for (const std::wstring& name : built)
            if (!std::binary_search(cases.begin(), cases.end(), name))
                std::fprintf(stderr, " %ls.out is missing;", name.c_str());
        for (const std::wstring& name : cases)
            if (!std::binary_search(built.begin(), built.end(), name))
                std::fprintf(stderr, " %ls.out is not one of them;", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    for (const std::wstring& name : cases) {
        ::testing::RegisterTest("EndToEnd", Utf8(name).c_str(), nullptr, nullptr, __FILE__,
                                __LINE__, [name] { return new CaseTest(name); });
    }
    scratch_console::Begin();  // without a console, the cases run as they are
    int rc = RUN_ALL_TESTS();
    scratch_console::End();
    return rc;
}
