// impostor.cpp - what tools/kit-test.sh puts in the test kit's way.  Planted
// in a copy of the kit in place of a suite's program, it is a program of
// GoogleTest's own with three tests; CELLATTR_IMPOSTOR_<NAME>, NAME being
// its own file's name without ".exe", or else CELLATTR_IMPOSTOR, says what
// it does:
//   honest   runs its tests, of which one fails where one of GoogleTest's
//            settings reached it (the kit clears them);
//   crashes  runs its tests, then crashes with an access violation;
//   silent   (or anything else) prints nothing, writes no report, exits 0;
//   launch   starts CELLATTR_IMPOSTOR_COMMAND in a console of its own, as
//            Explorer starts a double-clicked batch file, and is the person
//            in front of it: two seconds after the kit's run has ended, it
//            looks at the console, presses a key where it asks for one,
//            prints what the console showed and exits with the command's
//            exit code; with 3 where the command ended before the run did,
//            5 where it did not wait, 4 where the console asked for no key,
//            6 where the key did not end it, 7 where the run did not end;
//   wrap     runs CELLATTR_IMPOSTOR_COMMAND with QuickEdit on, and ends with
//            its exit code, 7 past 120 s; it, and honest and crashes, print
//            the console's input mode.
#include "../../windows/process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// One of GoogleTest's settings in the environment, or null.
const char* Setting()
{
    for (const char* v = GetEnvironmentStringsA(); *v != '\0'; v += std::strlen(v) + 1)
        for (const char* prefix : {"GTEST_", "TESTBRIDGE_", "XML_OUTPUT_FILE=", "TEST_PREMATURE"})
            if (_strnicmp(v, prefix, std::strlen(prefix)) == 0)
                return v;
    return nullptr;
}

TEST(Impostor, First) {}
TEST(Impostor, Second)
{
    EXPECT_EQ(Setting(), nullptr);
}
TEST(Impostor, Third) {}

// The text of the console that process `id` is attached to.
std::wstring Screen(DWORD id)
{
    std::wstring text;
    if (!AttachConsole(id))
        return text;
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ |
                             FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info)) {
        for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
            std::wstring line(static_cast<size_t>(info.dwSize.X), L' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterW(out, line.data(), info.dwSize.X, COORD{0, row}, &read);
            text += line.substr(0, line.find_last_not_of(L' ') + 1) + L"\n";
        }
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    FreeConsole();
    return text;
}

void PressAKey(DWORD id)
{
    if (!AttachConsole(id))
        return;
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ |
                            FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    INPUT_RECORD keys[2]{};
    for (int i = 0; i < 2; ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = 'X';
        keys[i].Event.KeyEvent.uChar.UnicodeChar = L'x';
    }
    DWORD written;
    WriteConsoleInputW(in, keys, 2, &written);
    CloseHandle(in);
    FreeConsole();
}

void SayInputMode(const char* when)
{
    DWORD mode = 0;
    GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode);
    std::printf("impostor: input mode %s: 0x%lX\n", when, mode);
    std::fflush(stdout);
}

bool StartCommand(bool handles, DWORD flags, PROCESS_INFORMATION* process)
{
    wchar_t line[4096] = L"";
    DWORD n = GetEnvironmentVariableW(L"CELLATTR_IMPOSTOR_COMMAND", line, 4096);
    ProcessStart start{line, nullptr, nullptr, flags, handles, GetStdHandle(STD_INPUT_HANDLE),
                       GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    return n > 0 && n < 4096 && StartProcess(start, process) == 0;
}

int Wrap()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0, code = 7;
    PROCESS_INFORMATION process{};
    if (!GetConsoleMode(in, &mode) ||
        !SetConsoleMode(in, mode | ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE))
        return 125;
    SayInputMode("before");
    if (!StartCommand(true, 0, &process))
        return 125;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    SayInputMode("after");
    return static_cast<int>(code);
}

int Launch()
{
    PROCESS_INFORMATION process{};
    if (!StartCommand(false, CREATE_NEW_CONSOLE, &process))
        return 125;
    // The kit holds its lock while it runs: a kit still there once it has
    // let go is waiting.  (Attached to its console to look, this program
    // would share the console, and the kit would not wait.)
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring lock = std::wstring(temp) + L"cellattr-kit.lock";
    bool held = false, gone = false;
    for (int i = 0; i < 1200 && !gone; ++i) {
        bool there = GetFileAttributesW(lock.c_str()) != INVALID_FILE_ATTRIBUTES;
        gone = held && !there;
        held = held || there;
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            return 3;
    }
    if (!gone) {
        std::printf("impostor: the kit's run did not end within 60 s\n");
        return 7;
    }
    if (WaitForSingleObject(process.hProcess, 2000) == WAIT_OBJECT_0)
        return 5;
    FreeConsole();
    std::wstring screen = Screen(process.dwProcessId);
    int result = screen.find(L"press a key") == std::wstring::npos ? 4 : 0;
    if (result == 0) {
        PressAKey(process.dwProcessId);
        DWORD code = 6;
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            std::printf("impostor: the kit did not end within 30 s of the key\n");
        result = static_cast<int>(code);
    }
    std::printf("%ls", screen.c_str());
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
    const char* own = std::getenv(("CELLATTR_IMPOSTOR_" + name.substr(0, name.rfind('.'))).c_str());
    const char* any = std::getenv("CELLATTR_IMPOSTOR");
    const std::string how = own != nullptr ? own : any != nullptr ? any : "";
    if (how == "launch" || how == "wrap")
        return how == "launch" ? Launch() : Wrap();
    if (how != "honest" && how != "crashes")
        return 0;
    SayInputMode("during");
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    if (how == "crashes" && !listing)
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    return status;
}
