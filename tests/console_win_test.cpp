// @CELLATTR on a real console screen buffer (Windows, run under Wine on a
// pseudo-terminal, or on the console the test kit is started from): the
// plugin is loaded as the host loads it, the cells are painted with the
// console API, and the results are what the console holds.  The suite works
// in a screen buffer of its own, so the user's stays as it was.
//
// RealConsole's tests take the buffer and window as the console gives them,
// as long as the window has the 16 x 4 cells they paint (a Windows Terminal
// pane can be smaller).  ScrolledConsole's need a buffer larger than the
// window and a window that moves over it, which a classic console window
// allows and a pseudoconsole (Windows Terminal's) does not.  Each asks the
// console for what it lacks first, and is skipped, saying what was refused
// and what the console has, where the console does not go along.
#include "capture.h"
#include "cellattr_cases.h"
#include "../windows/scratch_console.h"
#include "skip.h"
#include "win_plugin.h"

#include "../windows/console_layout.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::u16string U16(long long number)
{
    std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

class RealConsole : public ::testing::Test {
protected:
    static HANDLE out;
    static CONSOLE_SCREEN_BUFFER_INFO layout;  // as the test found it

    static void SetUpTestSuite()
    {
        if (scratch_console::Begin())
            out = scratch_console::Own();
    }

    static void TearDownTestSuite()
    {
        scratch_console::End();
        out = INVALID_HANDLE_VALUE;
    }

    void SetUp() override
    {
        ResetHostVariables();
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        ASSERT_NE(CellAttrExport(), nullptr);
        std::string refused = Arrange();
        if (!refused.empty())
            SKIP_SAYING(refused);
        // Every cell 0x07; window row 0 starts 0x07, 0x1F, 0x8007; the
        // cursor at the window's top-left.
        ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &layout));
        DWORD cells = static_cast<DWORD>(layout.dwSize.X) * static_cast<DWORD>(layout.dwSize.Y);
        DWORD written;
        ASSERT_TRUE(FillConsoleOutputAttribute(out, 0x07, cells, COORD{0, 0}, &written));
        ASSERT_EQ(written, cells);
        Paint(0, Top(), 0x07);
        Paint(1, Top(), 0x1F);
        Paint(2, Top(), 0x8007);
        Cursor(0, Top());
    }

    void TearDown() override { ResetHostVariables(); }

    // The layout a test needs, asked of the console: empty when it went
    // along, else what it refused.  These tests paint window rows 0 to 3, up
    // to 16 columns.
    virtual std::string Arrange() { return console_layout::AtLeast(out, 16, 4); }

    // The buffer row at the window's top.
    static SHORT Top() { return layout.srWindow.Top; }

    static void Paint(SHORT column, SHORT row, WORD attribute)
    {
        DWORD written;
        ASSERT_TRUE(WriteConsoleOutputAttribute(out, &attribute, 1, COORD{column, row}, &written));
    }

    static void Cursor(SHORT column, SHORT row)
    {
        ASSERT_TRUE(SetConsoleCursorPosition(out, COORD{column, row}));
    }

    static CallResult Call(const std::u16string& args)
    {
        return CallAsHost(CellAttrExport(), args);
    }

    static void ExpectResult(const std::u16string& args, const std::u16string& result)
    {
        ExpectCallResult(Call, args, result);
    }

    static void ExpectFailure(const std::u16string& args, const std::u16string& message)
    {
        ExpectCallFailure(Call, args, message);
    }
};

HANDLE RealConsole::out = INVALID_HANDLE_VALUE;
CONSOLE_SCREEN_BUFFER_INFO RealConsole::layout;

// A 120 x 300 buffer with an 80 x 25 window at its top-left, the window
// seen to move to the buffer's far corner and back first.
class ScrolledConsole : public RealConsole {
protected:
    std::string Arrange() override
    {
        const COORD size{120, 300};
        std::string refused = console_layout::Arrange(out, size, SMALL_RECT{0, 0, 79, 24});
        if (refused.empty())
            refused = console_layout::Arrange(out, size, SMALL_RECT{40, 275, 119, 299});
        if (refused.empty())
            refused = console_layout::Arrange(out, size, SMALL_RECT{0, 0, 79, 24});
        return refused;
    }

    // The position cases of cellattr_cases.h, which the simulated console
    // runs too.
    static void RunPositions(Positions test)
    {
        auto place = [](const Place& p) {
            Cursor(p.cursorColumn, p.cursorRow);
            SMALL_RECT window{p.left, p.top, static_cast<SHORT>(p.left + 79),
                              static_cast<SHORT>(p.top + 24)};
            ASSERT_EQ(console_layout::Arrange(out, COORD{120, 300}, window), "");
        };
        RunPositionCases(test, place, Paint, Call);
    }
};

TEST_F(RealConsole, EveryFormat)
{
    for (const FormatCase& c : kFormatCases)
        ExpectResult(c.args, c.result);
}

TEST_F(RealConsole, Masks)
{
    for (const FormatCase& c : kMaskCases)
        ExpectResult(c.args, c.result);
}

TEST_F(RealConsole, NullBufferReturnsOne)
{
    StderrCaptureBegin();
    EXPECT_EQ(CellAttrExport()(nullptr), 1);
    EXPECT_EQ(StderrCaptureEnd(), u"");
}

TEST_F(ScrolledConsole, WindowLowerDownAndScrolledSideways)
{
    RunPositions(Positions::Sideways);
}

TEST_F(ScrolledConsole, RelativeToTheCursor)
{
    RunPositions(Positions::Cursor);
}

TEST_F(ScrolledConsole, ExtremePositionsAreOutOfRange)
{
    RunPositions(Positions::Extremes);
}

TEST_F(ScrolledConsole, RunStopsAtTheEndOfTheBuffer)
{
    RunPositions(Positions::BufferEnd);
}

TEST_F(RealConsole, RunContinuesOnTheNextRow)
{
    SHORT last = layout.dwSize.X - 1;
    Paint(last, Top(), 0x11);
    Paint(0, Top() + 1, 0x22);
    ExpectResult(u"0," + U16(last - 1) + u",3,1", u"07 11 22");
}

TEST_F(RealConsole, AllSixteenColours)
{
    for (SHORT i = 0; i < 16; ++i)
        Paint(i, Top() + 3, static_cast<WORD>(i | (15 - i) << 4));
    ExpectResult(u"3,14,2,3", u"Bright Yellow on Blue, Bright White on Black");
    ExpectResult(u"3,0,16,1", u"F0 E1 D2 C3 B4 A5 96 87 78 69 5A 4B 3C 2D 1E 0F");
}

TEST_F(RealConsole, ArgumentFailures)
{
    ExpectFailure(u"", u"Missing row value\r\n");
    ExpectFailure(u"abc,0", u"Bad row value: \"ABC\"\r\n");
    ExpectFailure(u"0,0,1025", u"Length must be 1 to 1024: 1025\r\n");
    ExpectFailure(u"0,0,1,x", u"Bad flags value: \"X\"\r\n");
}

TEST_F(RealConsole, InsideABatchFile)
{
    SetHostVariable(u"_batch", u"1");
    SetHostVariable(u"_batchname", u"C:\\a%b\\t.btm");
    SetHostVariable(u"_batchline", u"4");
    // The first row below the window.
    ExpectFailure(U16(layout.srWindow.Bottom - Top() + 1) + u",0",
                  u"C:\\a%b\\t.btm [4]  Row out of range\r\n");
}

// The handles open in this process, found by asking each handle value up to
// 16384 for its flags (GetProcessHandleCount counts nothing under Wine).
int OpenHandleCount()
{
    int open = 0;
    DWORD flags;
    for (ULONG_PTR value = 4; value < 4 * 4096; value += 4)
        open += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return open;
}

// The console handle is closed after a read and after each failure that
// comes once the console is open.
TEST_F(RealConsole, EveryCallClosesTheConsoleHandle)
{
    const int before = OpenHandleCount();
    HANDLE own = CreateFileW(L"CONOUT$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(own, INVALID_HANDLE_VALUE);
    ASSERT_EQ(OpenHandleCount(), before + 1) << "the count does not see a console handle";
    CloseHandle(own);
    const int calls = 32;
    for (int i = 0; i < calls; ++i) {
        ExpectResult(u"0,0,2,1", u"07 1F");
        ExpectFailure(U16(layout.srWindow.Bottom - Top() + 1) + u",0", u"Row out of range\r\n");
        ExpectFailure(u"0," + U16(layout.dwSize.X), u"Column out of range\r\n");
    }
    // A handle left open by any of the three kinds would add `calls`; the
    // system may open a few of its own meanwhile.
    EXPECT_LT(OpenHandleCount() - before, calls / 2);
}

// The host's buffer ends right before a page that cannot be touched.
TEST_F(RealConsole, NeverWritesPastTheHostsBuffer)
{
    std::string refused = console_layout::AtLeast(out, 16, 4, 1024);
    if (!refused.empty())
        SKIP_SAYING(refused);
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &layout));
    std::vector<WORD> magenta(1024, 0xDD);
    DWORD written;
    ASSERT_TRUE(WriteConsoleOutputAttribute(out, magenta.data(), 1024, COORD{0, Top()}, &written));
    ASSERT_EQ(written, 1024u);

    SYSTEM_INFO si;
    GetSystemInfo(&si);
    size_t page = si.dwPageSize;
    size_t bytes = HOST_RESULT_CAPACITY * sizeof(char16_t);
    size_t span = (bytes + page - 1) / page * page + page;
    char* region = static_cast<char*>(VirtualAlloc(nullptr, span, MEM_COMMIT | MEM_RESERVE,
                                                   PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(region + span - page, page, PAGE_NOACCESS, &old));
    char16_t* buffer = reinterpret_cast<char16_t*>(region + span - page - bytes);
    std::u16string args = u"0,0,1024,3";
    std::copy(args.begin(), args.end(), buffer);
    buffer[args.size()] = 0;

    StderrCaptureBegin();
    EXPECT_EQ(CellAttrExport()(buffer), 0);
    StderrCaptureEnd();
    std::u16string result(buffer);
    const std::u16string entry = u"Bright Magenta on Bright Magenta";
    EXPECT_EQ(result.size(), 963 * (entry.size() + 2) - 2);
    EXPECT_EQ(result.substr(result.size() - entry.size()), entry);
    VirtualFree(region, 0, MEM_RELEASE);
}

}  // namespace
