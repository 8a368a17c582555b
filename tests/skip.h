// skip.h - a skip that says why on a line of its own, "skipped: Suite.Name:
// why".  The test kit runs the suites with GoogleTest's brief output, which
// names no skipped test, and finds each reason by that prefix.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline std::string ThisTest()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(test->test_suite_name()) + "." + test->name();
}

#define SKIP_SAYING(why) GTEST_SKIP() << "skipped: " << ThisTest() << ": " << (why)
