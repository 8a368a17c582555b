// impostor.cpp - what tools/kit-test.sh puts in the test kit's way, to prove
// that run-tests.cmd counts what it sees, and only that.  Planted in a copy
// of the kit in place of a real program, it lies about its tests or tells
// the truth; run beside the kit, it is another program on the same desktop.
// CELLATTR_IMPOSTOR_<NAME>, NAME being its own file's name without ".exe",
// or else CELLATTR_IMPOSTOR, says what it does:
//   honest     lists three tests and reports all three passed, unless its
//              environment holds one of GoogleTest's settings (which the
//              kit clears): then it names it, reports one test failed and
//              exits with 1;
//   silent     (or anything else) prints nothing and exits with 0, whatever
//              it is asked;
//   disagrees  lists three tests, then runs two and reports both passed;
//   skips      lists three tests, then reports all three run: two passed,
//              one skipped, with its reason (an honest summary);
//   skips-silently  the same, without the reason;
//   skips-short lists three tests, then reports two run: one passed, one
//              skipped, and the third not at all;
//   crashes    lists three tests, reports all three passed, then ends as a
//              crash does, with 0xC0000005 (run as console_cost.exe is,
//              without GoogleTest's flags, it crashes at once);
//   hangs      lists three tests, reports all three passed, empties the
//              kit's progress file (CELLATTR_TEST_PROGRESS) as a program
//              does after its last test, and then never ends;
//   box        shows a message box with the plugin's help caption, as the
//              real plugin in a user's session would, and exits with 3 when
//              somebody closes it;
//   steals     for CELLATTR_IMPOSTOR_SECONDS seconds (default 30) puts a
//              window of its own, of class CellAttrImpostor, in front, again
//              and again;
//   launch     starts the command line in CELLATTR_IMPOSTOR_COMMAND exactly
//              as written, as Explorer starts a batch file that is double-
//              clicked, waits for it and exits with its exit code.
// The summaries are in GoogleTest's words under --gtest_brief=1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Asked(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

bool Is(const char* how, const char* word)
{
    return std::strcmp(how, word) == 0;
}

// The mode, for this program by its own name or for every impostor.
std::string Mode()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
    const char* own = std::getenv(("CELLATTR_IMPOSTOR_" + name.substr(0, name.rfind('.'))).c_str());
    const char* any = std::getenv("CELLATTR_IMPOSTOR");
    return own != nullptr ? own : any != nullptr ? any : "";
}

// One of GoogleTest's settings in the environment, or null.
const char* Setting()
{
    for (const char* v = GetEnvironmentStringsA(); *v != '\0'; v += std::strlen(v) + 1)
        for (const char* prefix : {"GTEST_", "TESTBRIDGE_", "XML_OUTPUT_FILE=", "TEST_PREMATURE"})
            if (_strnicmp(v, prefix, std::strlen(prefix)) == 0)
                return v;
    return nullptr;
}

void ReportAllPassed()
{
    std::printf("[==========] 3 tests from 1 test suite ran. (0 ms total)\n"
                "[  PASSED  ] 3 tests.\n");
    std::fflush(stdout);
}

int ShowBox()
{
    MessageBoxW(nullptr, L"Another program's box, with the plugin's help caption.",
                L"CellAttr Plugin Help", MB_OK);
    return 3;
}

int StealTheForeground()
{
    const char* given = std::getenv("CELLATTR_IMPOSTOR_SECONDS");
    int seconds = given != nullptr ? std::atoi(given) : 30;
    WNDCLASSW type{};
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"CellAttrImpostor";
    RegisterClassW(&type);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"CellAttrImpostor", L"CellAttr impostor in front",
                                  WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  type.hInstance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, SW_SHOW);
    for (DWORD start = GetTickCount(); GetTickCount() - start < seconds * 1000u;) {
        SetForegroundWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    }
    DestroyWindow(window);
    return 0;
}

int Launch()
{
    wchar_t line[4096];
    DWORD n = GetEnvironmentVariableW(L"CELLATTR_IMPOSTOR_COMMAND", line, 4096);
    if (n == 0 || n >= 4096)
        return 125;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 125;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 125;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = Mode();
    const char* how = mode.c_str();
    if (Is(how, "box"))
        return ShowBox();
    if (Is(how, "steals"))
        return StealTheForeground();
    if (Is(how, "launch"))
        return Launch();
    if (Is(how, "crashes") && !Asked(argc, argv, "--gtest_color=no"))
        ExitProcess(0xC0000005);
    if (!Is(how, "honest") && !Is(how, "disagrees") && !Is(how, "skips") &&
        !Is(how, "skips-silently") && !Is(how, "skips-short") && !Is(how, "crashes") &&
        !Is(how, "hangs"))
        return 0;  // silent, or anything else
    if (Asked(argc, argv, "--gtest_list_tests")) {
        std::printf("Impostor.\n  First\n  Second\n  Third\n");
        return 0;
    }
    if (Is(how, "honest") && Setting() != nullptr) {
        std::printf("impostor.cpp(1): Failure\nthe kit left %s\n\n[==========] 3 tests from 1 "
                    "test suite ran. (0 ms total)\n[  PASSED  ] 2 tests.\n", Setting());
        return 1;
    } else if (Is(how, "honest")) {
        ReportAllPassed();
    } else if (Is(how, "skips") || Is(how, "skips-silently")) {
        std::printf("impostor.cpp(1): Skipped\n%s\n[==========] 3 tests from 1 test suite ran. "
                    "(0 ms total)\n[  PASSED  ] 2 tests.\n[  SKIPPED ] 1 test.\n",
                    Is(how, "skips") ? "skipped: Impostor.Third: the third is skipped\n" : "");
    } else if (Is(how, "skips-short")) {
        std::printf("[==========] 2 tests from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 1 test.\n"
                    "[  SKIPPED ] 1 test.\n");
    } else if (Is(how, "crashes")) {
        ReportAllPassed();
        ExitProcess(0xC0000005);
    } else if (Is(how, "hangs")) {
        ReportAllPassed();
        char path[MAX_PATH * 3];
        DWORD n = GetEnvironmentVariableA("CELLATTR_TEST_PROGRESS", path, sizeof path);
        if (n > 0 && n < sizeof path)
            CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        Sleep(INFINITE);
    } else {
        std::printf("[==========] 2 tests from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 2 tests.\n");
    }
    return 0;
}
