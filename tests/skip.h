// skip.h - a skip that says why.  The reason is recorded as the test's
// "skip_reason" property, which GoogleTest writes into its JSON report
// (1.12 writes no skip message there), where the test kit reads it.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline std::string SkipReason(const std::string& why)
{
    ::testing::Test::RecordProperty("skip_reason", why);
    return why;
}

#define SKIP_SAYING(why) GTEST_SKIP() << SkipReason(why)
