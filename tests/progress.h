// progress.h - which test a program is in, for the test kit's time limit.
// When CELLATTR_TEST_PROGRESS names a file, each test writes its name there
// as it starts and empties it as it ends, so that the test kit, ending a
// program that ran past its time limit, can say which test it was in: the
// file names it, is empty between tests, and is missing before the first.
//
// For tests only: CELLATTR_TEST_HANG=SUITE.NAME makes that test wait for
// good once started, so that the time limit can be tried on a real program.
#pragma once

#include "../windows/files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace progress {

// Wide, so that a %TEMP% outside the ANSI code page still names the file.
inline std::wstring Variable(const wchar_t* name)
{
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, 32768);
    return n > 0 && n < 32768 ? std::wstring(value, n) : std::wstring();
}

class Listener : public ::testing::EmptyTestEventListener {
public:
    Listener(std::wstring path, std::wstring hang) : path_(std::move(path)), hang_(std::move(hang))
    {
    }

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        std::string name = std::string(test.test_suite_name()) + "." + test.name();
        Write(name + "\r\n");
        if (std::wstring(name.begin(), name.end()) == hang_)
            Sleep(INFINITE);
    }
    void OnTestEnd(const ::testing::TestInfo&) override { Write(""); }

private:
    void Write(const std::string& text) { WriteFileBytes(path_, text); }

    std::wstring path_, hang_;
};

// Called after InitGoogleTest, before RUN_ALL_TESTS.
inline void Install()
{
    std::wstring path = Variable(L"CELLATTR_TEST_PROGRESS");
    if (!path.empty())
        ::testing::UnitTest::GetInstance()->listeners().Append(
            new Listener(path, Variable(L"CELLATTR_TEST_HANG")));
}

}  // namespace progress
