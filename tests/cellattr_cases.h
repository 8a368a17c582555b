// cellattr_cases.h - @CELLATTR examples, and the call and checks, shared by
// the simulated-console and the real-console suites.  The screen: the
// window's top-left cell holds 0x07 and the next 0x1F, a cell further on
// 0x8007; the buffer is 120 wide.
#pragma once

#include "capture.h"

#include "../host/host_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

struct CallResult {
    int rc;
    std::u16string text;  // the buffer afterwards
    std::u16string stderrText;
};

// Calls the function as the host does: the argument text in a buffer of the
// host's size, standard error captured.
template <typename Function>
CallResult CallAsHost(Function function, const std::u16string& args)
{
    std::vector<char16_t> buffer(HOST_RESULT_CAPACITY, u'\0');
    std::copy(args.begin(), args.end(), buffer.begin());
    StderrCaptureBegin();
    int rc = function(buffer.data());
    return CallResult{rc, buffer.data(), StderrCaptureEnd()};
}

// A successful call: 0, the result in the buffer, nothing on stderr.
template <typename Call>
void ExpectCallResult(Call call, const std::u16string& args, const std::u16string& result)
{
    SCOPED_TRACE(::testing::PrintToString(args));
    CallResult r = call(args);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.text, result);
    EXPECT_EQ(r.stderrText, u"");
}

// A failing call: -1, the buffer unchanged, exactly this on stderr.
template <typename Call>
void ExpectCallFailure(Call call, const std::u16string& args, const std::u16string& message)
{
    SCOPED_TRACE(::testing::PrintToString(args));
    CallResult r = call(args);
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.text, args);
    EXPECT_EQ(r.stderrText, u"CellAttr plugin: " + message);
}

struct FormatCase {
    const char16_t* args;
    const char16_t* result;
};

// Cells at window row 0: column 0 = 0x07, column 1 = 0x1F.
inline const FormatCase kFormatCases[] = {
    {u"0,0", u"7"},
    {u"0,0,2", u"7 31"},
    {u"0,0,2,1", u"07 1F"},
    {u"0,0,2,2", u"0x07 0x1F"},
    {u"0,0,2,3", u"White on Black, Bright White on Blue"},
    {u"0,0,2,4", u"Whi on Bla, Bri Whi on Blu"},
    {u"0,0,2,5", u"White, Bright White"},
    {u"0,0,2,6", u"Whi, Bri Whi"},
    {u"0,0,2,7", u"7 31"},
    {u"0,0,2,8", u"7 31"},
    {u"0,0,,1", u"07"},
    {u"0,0,2,0xFE03", u"White on Black, Bright White on Blue"},  // unused bits ignored
    {u" 0 , 1 ", u"31"},
    {u"\"0\",\"1\",\"1\",\"1\"", u"1F"},
    {u"0,0,1,0,extra,args", u"7"},
};

// Column 2 of window row 0 holds 0x8007.
inline const FormatCase kMaskCases[] = {
    {u"0,2,1,129", u"07"},
    {u"0,2,1,257", u"8000"},
    {u"0,2,1,256", u"32768"},
    {u"0,2,1,384", u"7"},
    {u"0,2,1,385", u"07"},
    {u"0,2,1,258", u"0x8000"},
    {u"0,2,1,259", u"Black on Black"},
    {u"0,2,1,131", u"White on Black"},
    {u"0,2,1,0", u"32775"},
    {u"0,2,1,1", u"8007"},
};
