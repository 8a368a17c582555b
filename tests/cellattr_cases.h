// cellattr_cases.h - @CELLATTR examples, and the call and checks, shared by
// the simulated-console and the real-console suites.  The screen: the
// window's top-left cell holds 0x07 and the next 0x1F, a cell further on
// 0x8007; the buffer is 120 wide.
#pragma once

#include "capture.h"

#include "../host/interface/host_limits.h"

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

// ---------------------------------------------------------------------------
// Positions, on a 120 x 300 buffer with an 80 x 25 window: each case places
// the cursor and the window, paints one cell (or none) and makes one call,
// whose result or message must then be the case's.  Every cell but those of
// window row 0 above holds 0x07, and the case's cell is 0x07 again after it.

// The tests that run the cases, one for each place of the window.
enum class Positions {
    Sideways,   // lower down and scrolled sideways: rows from the window, columns from the buffer
    Cursor,     // relative to the cursor, at the window's edges and from below it
    Extremes,   // values far outside, which must not wrap into the window
    BufferEnd,  // at the buffer's last row: a run stops at its last cell
};

// The window's top-left cell, and the cursor, which may lie outside the
// window: the user may have scrolled back while a batch file runs.
struct Place {
    int16_t left, top;
    int16_t cursorColumn, cursorRow;
};

struct Cell {
    int16_t column, row;
    uint16_t attribute;  // 0: no cell is painted
};

struct PositionCase {
    Positions test;
    Place place;
    Cell cell;
    const char16_t* args;
    const char16_t* result;   // the result of a call that succeeds, or nullptr
    const char16_t* message;  // the message, after the prefix, of one that fails
};

inline constexpr Place kSideways{10, 50, 10, 50};
inline constexpr Place kSidewaysCursorInside{10, 50, 30, 60};  // columns 10 to 89
inline constexpr Place kCursorInside{0, 10, 5, 20};  // rows 10 to 34, columns 0 to 79
inline constexpr Place kCursorBelow{0, 10, 5, 100};
inline constexpr Place kMiddle{0, 50, 3, 53};
inline constexpr Place kBottom{0, 275, 0, 275};
inline constexpr const char16_t* kRowOut = u"Row out of range\r\n";
inline constexpr const char16_t* kColumnOut = u"Column out of range\r\n";

inline const PositionCase kPositionCases[] = {
    {Positions::Sideways, kSideways, {0, 50, 0x1E}, u"0,0,1,1", u"1E", nullptr},
    {Positions::Sideways, kSideways, {10, 50, 0x2E}, u"0,10,1,1", u"2E", nullptr},
    {Positions::Sideways, kSideways, {119, 74, 0x4F}, u"24,119,1,1", u"4F", nullptr},
    {Positions::Sideways, kSideways, {0, 66, 0x1D}, u"0x10,0,1,1", u"1D", nullptr},
    {Positions::Sideways, kSideways, {}, u"25,0", nullptr, kRowOut},  // in the buffer only
    {Positions::Sideways, kSideways, {}, u"0,120", nullptr, kColumnOut},
    {Positions::Sideways, kSidewaysCursorInside, {35, 50, 0x3E}, u"0,+5,1,1", u"3E", nullptr},
    {Positions::Sideways, kSidewaysCursorInside, {5, 60, 0x5B}, u"+0,-25,1,1", u"5B", nullptr},
    {Positions::Sideways, kSidewaysCursorInside, {3, 62, 0x6C}, u"+2,3,1,1", u"6C", nullptr},

    {Positions::Cursor, kCursorInside, {5, 20, 0x5A}, u"+0,+0,1,1", u"5A", nullptr},
    {Positions::Cursor, kCursorInside, {0, 19, 0x3C}, u"-1,0,1,1", u"3C", nullptr},
    {Positions::Cursor, kCursorInside, {7, 22, 0x6B}, u"+2,+2,1,1", u"6B", nullptr},
    {Positions::Cursor, kCursorInside, {0, 10, 0x2C}, u"-10,-5,1,1", u"2C", nullptr},
    {Positions::Cursor, kCursorInside, {0, 34, 0x4D}, u"+14,-5,1,1", u"4D", nullptr},
    {Positions::Cursor, kCursorInside, {119, 20, 0x1A}, u"+0,+114,1,1", u"1A", nullptr},
    {Positions::Cursor, kCursorInside, {}, u"-11,0", nullptr, kRowOut},
    {Positions::Cursor, kCursorInside, {}, u"+15,0", nullptr, kRowOut},
    {Positions::Cursor, kCursorInside, {}, u"0,-6", nullptr, kColumnOut},
    {Positions::Cursor, kCursorInside, {}, u"0,+115", nullptr, kColumnOut},
    {Positions::Cursor, kCursorBelow, {}, u"+0,+0", nullptr, kRowOut},
    {Positions::Cursor, kCursorBelow, {0, 10, 0x3D}, u"0,0,1,1", u"3D", nullptr},
    {Positions::Cursor, kCursorBelow, {5, 34, 0x5E}, u"-66,+0,1,1", u"5E", nullptr},

    {Positions::Extremes, kMiddle, {}, u"4294967295,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"0xFFFFFFFF,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"2147483648,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"+2147483647,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"-2147483648,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"65536,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"+65536,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"-65536,0", nullptr, kRowOut},
    {Positions::Extremes, kMiddle, {}, u"0,4294967295", nullptr, kColumnOut},
    {Positions::Extremes, kMiddle, {}, u"0,2147483648", nullptr, kColumnOut},
    {Positions::Extremes, kMiddle, {}, u"0,+2147483647", nullptr, kColumnOut},
    {Positions::Extremes, kMiddle, {}, u"0,-2147483648", nullptr, kColumnOut},
    {Positions::Extremes, kMiddle, {}, u"0,65536", nullptr, kColumnOut},
    {Positions::Extremes, kMiddle, {}, u"0,65656", nullptr, kColumnOut},

    {Positions::BufferEnd, kBottom, {100, 299, 0x1F}, u"24,100,50,1",
     u"1F 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07", nullptr},
    {Positions::BufferEnd, kBottom, {119, 299, 0x4F}, u"24,119,1024,1", u"4F", nullptr},
};

// Runs the cases of one test: place(Place) sets the cursor, then moves the
// window (a console scrolls its window to a cursor set outside it, so the
// other order could never leave the cursor outside), paint(column, row,
// attribute) paints a cell, call(args) calls the function.
template <typename PlaceFunction, typename Paint, typename Call>
void RunPositionCases(Positions test, PlaceFunction place, Paint paint, Call call)
{
    int run = 0;
    for (const PositionCase& c : kPositionCases) {
        if (c.test != test)
            continue;
        ++run;
        place(c.place);
        if (c.cell.attribute != 0)
            paint(c.cell.column, c.cell.row, c.cell.attribute);
        if (c.result != nullptr)
            ExpectCallResult(call, c.args, c.result);
        else
            ExpectCallFailure(call, c.args, c.message);
        if (c.cell.attribute != 0)
            paint(c.cell.column, c.cell.row, 0x07);
    }
    EXPECT_GT(run, 0) << "no cases for this test";
}
