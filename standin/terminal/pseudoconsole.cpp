// pseudoconsole.exe - a stand-in of Windows Terminal for the test kit: runs
// a command line in a new pseudoconsole (CreatePseudoConsole), so that the
// kit can run in one from a script or a CI job (usage: kUsage).  What the
// pseudoconsole draws goes to our standard output, unless that is a
// console; its device-attributes query is answered, as a terminal does (a
// host made with PSEUDOCONSOLE_INHERIT_CURSOR waits for the answer:
// microsoft/terminal's src/host/VtIo.cpp).  Closing and the last read get
// kEndSeconds after the command's end: ClosePseudoConsole waits for the
// console host (Windows before build 26100, and Wine), and the read for
// every copy of the output pipe.  Past that, one line says which wait ran
// over, and we end with the command's exit code; our own failures, 125.

// The pseudoconsole's declarations come with Windows 10 1809 (RS5).  The
// functions are looked up when the program runs, so that an older Windows
// gets a message instead of a program that cannot start.
#define _WIN32_WINNT 0x0A00
#define NTDDI_VERSION 0x0A000006
#include <windows.h>

#include "../../windows/command_line.h"
#include "../../windows/console_layout.h"
#include "../../windows/no_fault_ui.h"
#include "../../windows/process.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

constexpr int kOwnFailure = 125;
constexpr COORD kDefaultSize{120, 30};
constexpr DWORD kEndSeconds = 5;
constexpr wchar_t kUsage[] =
    L"usage: pseudoconsole [/size COLUMNSxROWS] COMMAND [ARGUMENTS...]\n"
    L"  runs COMMAND, exactly as written, in a pseudoconsole of 120 x 30 cells or of\n"
    L"  the size given, copies what it draws to standard output unless that is a\n"
    L"  console, and ends with the command's exit code; send the command's own\n"
    L"  output to a file:\n"
    L"    pseudoconsole cmd /c \"\"C:\\kit\\run-tests.cmd\" >\"C:\\kit.txt\" 2>&1\" >screen.txt\n";

int Fail(const wchar_t* what, DWORD error)
{
    std::fwprintf(stderr, L"pseudoconsole: %ls (error %lu)\n", what, error);
    return kOwnFailure;
}

// "COLUMNSxROWS", each 1 to 1000, into *size.
bool ParseSize(const std::wstring& text, COORD* size)
{
    unsigned columns = 0, rows = 0;
    wchar_t x = 0, rest = 0;
    if (std::swscanf(text.c_str(), L"%u%lc%u%lc", &columns, &x, &rows, &rest) != 3 ||
        (x != L'x' && x != L'X') || columns < 1 || rows < 1 || columns > 1000 || rows > 1000)
        return false;
    *size = COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    return true;
}

// Reads everything the pseudoconsole draws until it closes its end, and
// copies it to `to` unless that is null.  A failed write does not stop the
// reading: the pseudoconsole must never block.  Its primary device
// attributes query (ESC [ c, or ESC [ 0 c) is answered on `answer` as a
// terminal of conformance level 1 with colour text.
void Drain(HANDLE from, HANDLE to, HANDLE answer)
{
    static const char kAttributes[] = "\x1b[?61;22c";
    char buffer[4096];
    DWORD got, written;
    int seen = 0;  // of the query: 1 after ESC, 2 after ESC [, 3 after ESC [ 0
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        if (to != nullptr)
            WriteFile(to, buffer, got, &written, nullptr);
        for (DWORD i = 0; i < got; ++i) {
            char c = buffer[i];
            if (c == 'c' && seen >= 2)
                WriteFile(answer, kAttributes, sizeof kAttributes - 1, &written, nullptr);
            seen = c == '\x1b' ? 1 : c == '[' && seen == 1 ? 2 : c == '0' && seen == 2 ? 3 : 0;
        }
    }
}

// Where the drawing goes: our standard output, unless that is missing, or a
// console, which gets nothing of it and one line on where to send it.
HANDLE DrawingTarget()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD mode;
    if (GetConsoleMode(out, &mode)) {
        std::fwprintf(stderr, L"pseudoconsole: what the pseudoconsole draws is not shown on a "
                              L"console; to keep it, redirect it: pseudoconsole ... > screen.txt\n");
        return nullptr;
    }
    return out;
}

using CreateFn = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, HPCON*);
using CloseFn = void(WINAPI*)(HPCON);

// What the end waits for, and the exit code it ends with, for the watchdog.
std::atomic<const wchar_t*> gEndWait{nullptr};
std::atomic<DWORD> gEndCode{kOwnFailure};

// Started when the command has ended: where closing and draining take longer
// than kEndSeconds, says which wait ran over and ends us.  Under Wine a
// console host that starts the desktop process hands it its standard
// handles, our output pipe among them, and the read never ends.
DWORD WINAPI Watchdog(void*)
{
    Sleep(kEndSeconds * 1000);
    std::fwprintf(stderr, L"pseudoconsole: %ls did not end within %lu s of the command's end; "
                          L"ending with the command's exit code\n",
                  gEndWait.load(), kEndSeconds);
    std::fflush(stderr);
    ExitProcess(gEndCode.load());
}

}  // namespace

int main()
{
    NoFaultUi();
    std::wstring command = command_line::Tail();
    COORD size = kDefaultSize;
    if (command.compare(0, 6, L"/size ") == 0) {
        command_line::TakeWord(command);
        std::wstring given = command_line::TakeWord(command);
        if (!ParseSize(given, &size)) {
            std::fwprintf(stderr, L"pseudoconsole: /size takes COLUMNSxROWS, each 1 to 1000, "
                                  L"not \"%ls\"\n", given.c_str());
            return kOwnFailure;
        }
    }
    if (command.empty()) {
        std::fwprintf(stderr, L"%ls", kUsage);
        return kOwnFailure;
    }
    HANDLE drawing = DrawingTarget();

    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePseudoConsole")));
    auto close = reinterpret_cast<CloseFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "ClosePseudoConsole")));
    if (create == nullptr || close == nullptr)
        return Fail(L"this Windows has no CreatePseudoConsole (Windows 10 1809 or later has)",
                    ERROR_PROC_NOT_FOUND);

    HANDLE inputRead, inputWrite, outputRead, outputWrite;
    if (!CreatePipe(&inputRead, &inputWrite, nullptr, 0))
        return Fail(L"cannot make the input pipe", GetLastError());
    if (!CreatePipe(&outputRead, &outputWrite, nullptr, 0))
        return Fail(L"cannot make the output pipe", GetLastError());
    HPCON console;
    HRESULT made = create(size, inputRead, outputWrite, 0, &console);
    if (FAILED(made)) {
        std::fwprintf(stderr, L"pseudoconsole: CreatePseudoConsole failed (0x%08lX)\n",
                      static_cast<unsigned long>(made));
        return kOwnFailure;
    }
    // The pseudoconsole holds its own copies of its ends of the pipes.
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    std::thread drain(Drain, outputRead, drawing, inputWrite);

    // No standard handles of ours (null ones): the command takes the
    // pseudoconsole's, also when ours are redirected.
    ProcessStart start;
    start.line = command;
    start.handles = true;
    start.attribute = PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE;
    start.value = console;
    start.size = sizeof console;
    PROCESS_INFORMATION process{};
    // What runs inside can tell it does, where the window's class does not
    // (Wine).
    SetEnvironmentVariableA(console_layout::kPseudoconsoleMark, "1");
    const DWORD error = StartProcess(start, &process);

    // The command's own time is its caller's to bound, as a terminal's is.
    DWORD code = kOwnFailure;
    if (error == 0) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    gEndCode = error != 0 ? kOwnFailure : code;
    gEndWait = L"ClosePseudoConsole";
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    // Closing the pseudoconsole ends what is left in it and then its output,
    // which ends the drain.
    close(console);
    gEndWait = L"the read of the pseudoconsole's output";
    drain.join();
    CloseHandle(outputRead);
    CloseHandle(inputWrite);
    if (error != 0)
        return Fail((L"cannot start " + command).c_str(), error);
    return static_cast<int>(code);
}
