// skip.h - a skip that names its test.  The test kit runs the suites with
// GoogleTest's brief output, which names no skipped test: each reason then
// starts with the test's own name.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline std::string ThisTest()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(test->test_suite_name()) + "." + test->name();
}

#define SKIP_SAYING(why) GTEST_SKIP() << ThisTest() << ": " << (why)
