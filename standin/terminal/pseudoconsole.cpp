// pseudoconsole.exe - a stand-in of Windows Terminal for the test kit: it
// runs a command line inside a new pseudoconsole, made with
// CreatePseudoConsole, as Windows Terminal hosts every console program, so
// that the kit can be run in one from a script or a CI job.
//
//   pseudoconsole [/size COLUMNSxROWS] COMMAND [ARGUMENTS...]
//
// It runs the rest of its own command line, exactly as written, in a
// pseudoconsole of 120 x 30 cells (Windows Terminal's default size), or of
// the size given (a small pane, say 60x15), and ends with the command's exit
// code.  All the while it reads what the pseudoconsole draws (text and VT
// sequences) and copies it to its own standard output, so that the
// pseudoconsole never waits on a full pipe; redirect it to keep it.  On a
// console it copies nothing: the console would take the sequences that
// start a terminal's session (win32-input-mode, focus reports, a device
// query) as its own, show them as garbage, or leave its terminal in a mode
// that garbles later key presses.  The command's own output should go to a
// file:
//
//   pseudoconsole cmd /c ""C:\kit\run-tests.cmd" >"C:\kit.txt" 2>&1" >screen.txt
//
// It answers the pseudoconsole's device-attributes query, as a terminal
// does: newer console hosts ask it at their start and wait for the answer.
//
// Its own failures (no pseudoconsole in this Windows, a command that does
// not start, a size it cannot read) are told in one line on standard error,
// with exit code 125.

// The pseudoconsole's declarations come with Windows 10 1809 (RS5).  The
// functions are looked up when the program runs, so that an older Windows
// gets a message instead of a program that cannot start.
#define _WIN32_WINNT 0x0A00
#define NTDDI_VERSION 0x0A000006
#include <windows.h>

#include "../command_line.h"
#include "../console_layout.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

constexpr int kOwnFailure = 125;
constexpr COORD kDefaultSize{120, 30};

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

}  // namespace

int main()
{
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
        std::fwprintf(stderr, L"usage: pseudoconsole [/size COLUMNSxROWS] COMMAND [ARGUMENTS...]\n");
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

    SIZE_T bytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &bytes);
    std::string storage(bytes, '\0');
    auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    // No standard handles of ours: the command takes the pseudoconsole's,
    // also when ours are redirected.
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    // What runs inside can tell it does, where the window's class does not
    // (Wine).
    SetEnvironmentVariableA(console_layout::kPseudoconsoleMark, "1");
    DWORD error = 0;
    bool listed = bytes > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &bytes);
    if (!listed ||
        !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console,
                                   sizeof console, nullptr, nullptr) ||
        !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                        &process)) {
        error = GetLastError();
        if (error == 0)
            error = ERROR_GEN_FAILURE;
    }

    DWORD code = kOwnFailure;
    if (error == 0) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    // Closing the pseudoconsole ends what is left in it and then its output,
    // which ends the drain.
    close(console);
    drain.join();
    CloseHandle(outputRead);
    CloseHandle(inputWrite);
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    if (error != 0)
        return Fail((L"cannot start " + command).c_str(), error);
    return static_cast<int>(code);
}
