// Tests of @CELLATTR on the simulated console: formats, masks, positions,
// every failure with its exact message, and the result capacity.
#include "../query/cellattr.h"
#include "../standin/platform/sim_console.h"
#include "capture.h"
#include "cellattr_cases.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using simconsole::Op;

class CellAttr : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetHostVariables();
        simconsole::Reset(120, 300);
        simconsole::SetCell(0, 0, 0x07);
        simconsole::SetCell(1, 0, 0x1F);
        simconsole::SetCell(2, 0, 0x8007);
    }
    void TearDown() override { ResetHostVariables(); }

    static CallResult Call(const std::u16string& args)
    {
        CallResult r = CallAsHost(f_cellattr, args);
        EXPECT_EQ(simconsole::OpenHandles(), 0) << "console handle left open";
        return r;
    }

    static void ExpectFailure(const std::u16string& args, const std::u16string& message)
    {
        ExpectCallFailure(Call, args, message);
    }

    static void ExpectResult(const std::u16string& args, const std::u16string& result)
    {
        ExpectCallResult(Call, args, result);
    }

    // The position cases of cellattr_cases.h, which the real console runs too.
    static void RunPositions(Positions test)
    {
        auto place = [](const Place& p) {
            simconsole::SetCursor(p.cursorColumn, p.cursorRow);
            simconsole::SetWindow(p.left, p.top, static_cast<int16_t>(p.left + 79),
                                  static_cast<int16_t>(p.top + 24));
        };
        RunPositionCases(test, place, simconsole::SetCell, Call);
    }
};

TEST_F(CellAttr, EveryFormat)
{
    for (const FormatCase& c : kFormatCases)
        ExpectResult(c.args, c.result);
}

TEST_F(CellAttr, Masks)
{
    for (const FormatCase& c : kMaskCases)
        ExpectResult(c.args, c.result);
}

TEST_F(CellAttr, AllSixteenColoursByName)
{
    for (int16_t i = 0; i < 16; ++i)
        simconsole::SetCell(i, 3, static_cast<uint16_t>(i | (15 - i) << 4));
    ExpectResult(u"3,0,3,3", u"Black on Bright White, Blue on Bright Yellow, "
                             u"Green on Bright Magenta");
    ExpectResult(u"3,13,3,4", u"Bri Mag on Gre, Bri Yel on Blu, Bri Whi on Bla");
    ExpectResult(u"3,8,2,5", u"Bright Black, Bright Blue");
}

TEST_F(CellAttr, NullBufferReturnsOneAndWritesNothing)
{
    StderrCaptureBegin();
    EXPECT_EQ(f_cellattr(nullptr), 1);
    EXPECT_EQ(StderrCaptureEnd(), u"");
    EXPECT_EQ(simconsole::Calls(Op::Open), 0);
}

// ---------------------------------------------------------------------------
// Positions.

TEST_F(CellAttr, WindowLowerDownAndScrolledSideways)
{
    RunPositions(Positions::Sideways);
}

TEST_F(CellAttr, RelativeToTheCursor)
{
    RunPositions(Positions::Cursor);
}

TEST_F(CellAttr, ExtremePositionsAreOutOfRange)
{
    RunPositions(Positions::Extremes);
}

TEST_F(CellAttr, RunStopsAtTheEndOfTheBuffer)
{
    RunPositions(Positions::BufferEnd);
}

TEST_F(CellAttr, RunContinuesOnTheNextRow)
{
    simconsole::SetCell(119, 0, 0x11);
    simconsole::SetCell(0, 1, 0x22);
    ExpectResult(u"0,118,3,1", u"07 11 22");
}

// A console that claims to have read more cells than were asked for: only
// those asked for are formatted.
TEST_F(CellAttr, ACountBeyondTheLengthIsNotTrusted)
{
    simconsole::OverReportNext(5);
    ExpectResult(u"0,0,3,1", u"07 1F 8007");
    EXPECT_EQ(simconsole::Calls(Op::Read), 1);
}

TEST_F(CellAttr, LengthLimits)
{
    CallResult r = Call(u"0,0,1024");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(std::count(r.text.begin(), r.text.end(), u' '), 1023);
    ExpectFailure(u"0,0,0", u"Length must be 1 to 1024: 0\r\n");
    ExpectFailure(u"0,0,1025", u"Length must be 1 to 1024: 1025\r\n");
    ExpectFailure(u"0,0,4294967295", u"Length must be 1 to 1024: 4294967295\r\n");
}

// ---------------------------------------------------------------------------
// Failures: only the first fault is reported, and nothing is opened for a
// bad argument.

struct FailureCase {
    const char16_t* args;
    const char16_t* message;
};

const FailureCase kArgumentFailures[] = {
    {u"", u"Missing row value\r\n"},
    {u"   ", u"Missing row value\r\n"},
    {u"\" \",0", u"Missing row value\r\n"},
    {u",0", u"Missing row value\r\n"},
    {u"5", u"Missing column value\r\n"},
    {u"5,", u"Missing column value\r\n"},
    {u"abc,0", u"Bad row value: \"ABC\"\r\n"},
    {u"abc,def", u"Bad row value: \"ABC\"\r\n"},
    {u"+0x10,0", u"Bad row value: \"+0X10\"\r\n"},
    {u"+,0", u"Bad row value: \"+\"\r\n"},
    {u"-,0", u"Bad row value: \"-\"\r\n"},
    {u"+2147483648,0", u"Bad row value: \"+2147483648\"\r\n"},
    {u"4294967296,0", u"Bad row value: \"4294967296\"\r\n"},
    {u"1 2,0", u"Bad row value: \"1 2\"\r\n"},
    {u"0,x y", u"Bad column value: \"X Y\"\r\n"},
    {u"0,-2147483649", u"Bad column value: \"-2147483649\"\r\n"},
    {u"0,0,-1", u"Bad length value: \"-1\"\r\n"},
    {u"0,0,1x,zz", u"Bad length value: \"1X\"\r\n"},
    {u"0,0,1,-1", u"Bad flags value: \"-1\"\r\n"},
    {u"0,0,1,0x1FFFFFFFF", u"Bad flags value: \"0X1FFFFFFFF\"\r\n"},
    {u"0,0,1,%", u"Bad flags value: \"%\"\r\n"},
};

TEST_F(CellAttr, ArgumentFailures)
{
    for (const FailureCase& c : kArgumentFailures)
        ExpectFailure(c.args, c.message);
    EXPECT_EQ(simconsole::Calls(Op::Open), 0);
}

TEST_F(CellAttr, AnyThirtyTwoBitFlagsAreAccepted)
{
    ExpectResult(u"0,1,1,0xFFFFFFF8", u"31");  // 128 set: low byte, format 0
}

TEST_F(CellAttr, TokenizerOverflowIsItsOwnMessageOnly)
{
    std::u16string args(8192, u'9');
    ExpectFailure(args, u"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");
    EXPECT_EQ(simconsole::Calls(Op::Open), 0);
}

struct ConsoleFailureCase {
    Op op;
    uint32_t code;
    const char16_t* message;
};

const ConsoleFailureCase kConsoleFailures[] = {
    {Op::Open, 5, u"Error opening console handle:\r\n    Access denied.\r\n"},
    {Op::Open, 2, u"Error opening console handle:\r\n    File not found.\r\n"},
    {Op::Info, 6, u"Error getting console screen buffer info:\r\n    Invalid handle.\r\n"},
    {Op::Info, 0xFFFFFFFFu, u"Error getting console screen buffer info:\r\n    Unknown error\r\n"},
    {Op::Read, 87, u"Error reading console attributes:\r\n    Invalid parameter.\r\n"},
    {Op::Read, 0x1234, u"Error reading console attributes:\r\n    Error 4660\r\n"},
    // A system text of white space alone is no second line.
    {Op::Read, 0x20000020, u"Error reading console attributes:\r\n"},
};

TEST_F(CellAttr, ConsoleFailuresCarryTheSystemText)
{
    for (const ConsoleFailureCase& c : kConsoleFailures) {
        simconsole::FailNext(c.op, c.code);
        ExpectFailure(u"0,0,2,3", c.message);  // ExpectFailure also checks the handle was closed
    }
}

TEST_F(CellAttr, FailuresInsideABatchFileCarryItsNameAndLine)
{
    SetHostVariable(u"_batch", u"1");
    SetHostVariable(u"_batchname", u"C:\\scripts\\colors.bat");
    SetHostVariable(u"_batchline", u"12");
    ExpectFailure(u"0,999", u"C:\\scripts\\colors.bat [12]  Column out of range\r\n");
    simconsole::FailNext(Op::Read, 5);
    ExpectFailure(u"0,0",
                  u"C:\\scripts\\colors.bat [12]  Error reading console attributes:\r\n"
                  u"    Access denied.\r\n");
}

// ---------------------------------------------------------------------------
// The result capacity.

// 1024 entries of 34 characters do not fit in 32,768: the result ends at the
// last whole entry that does.
TEST_F(CellAttr, LongestNamesEndAtTheLastWholeEntry)
{
    for (int16_t c = 0; c < 120; ++c)
        for (int16_t r = 0; r < 10; ++r)
            simconsole::SetCell(c, r, 0xDD);
    CallResult r = Call(u"0,0,1024,3");
    ASSERT_EQ(r.rc, 0);
    EXPECT_LT(r.text.size(), HOST_RESULT_CAPACITY);
    const std::u16string entry = u"Bright Magenta on Bright Magenta";
    size_t entries = (r.text.size() + 2) / (entry.size() + 2);
    EXPECT_EQ(entries, 963u);
    EXPECT_EQ(r.text.size(), entries * (entry.size() + 2) - 2);
    EXPECT_EQ(r.text.substr(r.text.size() - entry.size()), entry);
}

TEST_F(CellAttr, EveryOtherFormatFitsAllEntries)
{
    for (int16_t c = 0; c < 120; ++c)
        for (int16_t r = 0; r < 10; ++r)
            simconsole::SetCell(c, r, 0xFFDD);
    for (unsigned code : {0u, 1u, 2u, 4u, 5u, 6u, 7u}) {
        std::u16string args = u"0,0,1024," + std::u16string(1, static_cast<char16_t>(u'0' + code));
        CallResult r = Call(args);
        ASSERT_EQ(r.rc, 0);
        const char16_t* sep = (code >= 4 && code <= 6) ? u", " : u" ";
        size_t separators = 0;
        for (size_t at = r.text.find(sep); at != std::u16string::npos; at = r.text.find(sep, at + 1))
            ++separators;
        EXPECT_EQ(separators, 1023u) << "format " << code;
    }
}

// The host's buffer ends right before a page that cannot be touched.
TEST_F(CellAttr, NeverWritesPastTheHostsBuffer)
{
    for (int16_t c = 0; c < 120; ++c)
        for (int16_t r = 0; r < 10; ++r)
            simconsole::SetCell(c, r, 0xDD);
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t bytes = HOST_RESULT_CAPACITY * sizeof(Char);
    size_t span = (bytes + page - 1) / page * page + page;
    void* region = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(region, MAP_FAILED);
    char* guard = static_cast<char*>(region) + span - page;
    ASSERT_EQ(mprotect(guard, page, PROT_NONE), 0);
    Char* buffer = reinterpret_cast<Char*>(guard - bytes);
    std::u16string args = u"0,0,1024,3";
    std::copy(args.begin(), args.end(), buffer);
    buffer[args.size()] = 0;
    StderrCaptureBegin();
    EXPECT_EQ(f_cellattr(buffer), 0);
    StderrCaptureEnd();
    std::u16string result(buffer);
    EXPECT_LT(result.size(), HOST_RESULT_CAPACITY);
    EXPECT_EQ(result.substr(result.size() - 7), u"Magenta");
    munmap(region, span);
}

}  // namespace
