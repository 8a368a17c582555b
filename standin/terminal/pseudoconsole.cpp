// pseudoconsole.exe - a stand-in of Windows Terminal for the test kit: it
// runs a command line inside a new pseudoconsole, made with
// CreatePseudoConsole, as Windows Terminal hosts every console program, so
// that the kit can be run in one from a script or a CI job.
//
//   pseudoconsole COMMAND [ARGUMENTS...]
//   pseudoconsole /which
//
// The first runs the rest of its own command line, exactly as written, in a
// pseudoconsole of 120 x 30 cells (Windows Terminal's default size) and ends
// with the command's exit code.  All the while it reads what the
// pseudoconsole draws (text and VT sequences) and copies it to its own
// standard output, so that the pseudoconsole never waits on a full pipe;
// redirect it to keep it.  The command's own output should go to a file:
//
//   pseudoconsole cmd /c ""C:\kit\run-tests.cmd" >"C:\kit.txt" 2>&1"
//
// The second prints which kind of console it runs in, by the class of the
// window that GetConsoleWindow returns: "a classic console window", "a
// pseudoconsole", or what it found otherwise.  run-tests.cmd starts with it.
//
// Its own failures (no pseudoconsole in this Windows, a command that does
// not start) are told in one line on standard error, with exit code 125.

// The pseudoconsole's declarations come with Windows 10 1809 (RS5).  The
// functions are looked up when the program runs, so that an older Windows
// gets a message instead of a program that cannot start.
#define _WIN32_WINNT 0x0A00
#define NTDDI_VERSION 0x0A000006
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

constexpr int kOwnFailure = 125;
constexpr COORD kSize{120, 30};

int Fail(const wchar_t* what, DWORD error)
{
    std::fwprintf(stderr, L"pseudoconsole: %ls (error %lu)\n", what, error);
    return kOwnFailure;
}

// What follows the program's own name on its command line, as written, with
// the blanks around it dropped.
std::wstring CommandTail()
{
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    std::wstring tail = p;
    // cmd.exe leaves the blanks before a redirection it has taken away.
    while (!tail.empty() && (tail.back() == L' ' || tail.back() == L'\t'))
        tail.pop_back();
    return tail;
}

int Which()
{
    HWND window = GetConsoleWindow();
    wchar_t name[256] = L"";
    if (window == nullptr) {
        std::wprintf(L"a console without a window of its own\n");
        return 0;
    }
    GetClassNameW(window, name, 256);
    if (std::wcscmp(name, L"ConsoleWindowClass") == 0)
        std::wprintf(L"a classic console window\n");
    else if (std::wcscmp(name, L"PseudoConsoleWindow") == 0)
        std::wprintf(L"a pseudoconsole\n");
    else
        std::wprintf(L"a console whose window is of class \"%ls\"\n", name);
    return 0;
}

// Copies everything the pseudoconsole draws to our standard output until
// the pseudoconsole closes its end.  A failed write does not stop the
// reading: the pseudoconsole must never block.
void Drain(HANDLE from)
{
    HANDLE to = GetStdHandle(STD_OUTPUT_HANDLE);
    char buffer[4096];
    DWORD got;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        DWORD written;
        if (to != nullptr && to != INVALID_HANDLE_VALUE)
            WriteFile(to, buffer, got, &written, nullptr);
    }
}

using CreateFn = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, HPCON*);
using CloseFn = void(WINAPI*)(HPCON);

}  // namespace

int main()
{
    std::wstring command = CommandTail();
    if (command == L"/which")
        return Which();
    if (command.empty()) {
        std::fwprintf(stderr, L"usage: pseudoconsole COMMAND [ARGUMENTS...]\n"
                              L"       pseudoconsole /which\n");
        return kOwnFailure;
    }

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
    HRESULT made = create(kSize, inputRead, outputWrite, 0, &console);
    if (FAILED(made)) {
        std::fwprintf(stderr, L"pseudoconsole: CreatePseudoConsole failed (0x%08lX)\n",
                      static_cast<unsigned long>(made));
        return kOwnFailure;
    }
    // The pseudoconsole holds its own copies of its ends of the pipes.
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    std::thread drain(Drain, outputRead);

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
