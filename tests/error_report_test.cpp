// Tests of the error prefix and of the system error text.
#include "../host/interface/host_services.h"
#include "../support/plugin_support.h"
#include "capture.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::u16string Prefix()
{
    StderrCaptureBegin();
    EXPECT_EQ(PrintErrorPrefix(), 0);
    return StderrCaptureEnd();
}

class ErrorPrefix : public ::testing::Test {
protected:
    void SetUp() override { ResetHostVariables(); }
    void TearDown() override { ResetHostVariables(); }
};

TEST_F(ErrorPrefix, OutsideABatchFileIsThePluginNameAlone)
{
    EXPECT_EQ(Prefix(), u"CellAttr plugin: ");
    // Anything that begins with 0 means "no batch file".
    SetHostVariable(u"_batch", u"0x");
    EXPECT_EQ(Prefix(), u"CellAttr plugin: ");
}

TEST_F(ErrorPrefix, InsideABatchFileCarriesNameAndLine)
{
    SetHostVariable(u"_batch", u"1");
    SetHostVariable(u"_batchname", u"C:\\scripts\\colors.bat");
    SetHostVariable(u"_batchline", u"12");
    EXPECT_EQ(Prefix(), u"CellAttr plugin: C:\\scripts\\colors.bat [12]  ");
}

TEST_F(ErrorPrefix, PercentInTheBatchNameIsPrintedLiterally)
{
    SetHostVariable(u"_batch", u"2");
    SetHostVariable(u"_batchname", u"C:\\100%s %d %u %%.bat");
    SetHostVariable(u"_batchline", u"7");
    EXPECT_EQ(Prefix(), u"CellAttr plugin: C:\\100%s %d %u %%.bat [7]  ");
}

// The host expands the whole name and line, up to its line limit: a name
// that takes the expansion to exactly that limit is printed whole (the
// sanitized build sees an overrun of the prefix's buffer, by one character
// too).
TEST_F(ErrorPrefix, ABatchNameThatFillsTheHostsLineIsPrintedWhole)
{
    const std::u16string tail = u" [12]  ";
    std::u16string name = u"C:\\";
    for (int i = 0; name.size() < HOST_LINE_LIMIT - tail.size() - 20; ++i)
        name += u"folder" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\\";
    name += std::u16string(HOST_LINE_LIMIT - tail.size() - name.size() - 4, u'x') + u".btm";
    ASSERT_EQ(name.size() + tail.size(), HOST_LINE_LIMIT);
    SetHostVariable(u"_batch", u"1");
    SetHostVariable(u"_batchname", name.c_str());
    SetHostVariable(u"_batchline", u"12");
    EXPECT_EQ(Prefix(), u"CellAttr plugin: " + name + tail);
}

// ---------------------------------------------------------------------------

std::u16string ErrorText(uint32_t code)
{
    Char buffer[SYSTEM_ERROR_TEXT_LEN];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(SystemErrorText(code, buffer), 0);
    return buffer;
}

bool EndsInWhiteSpace(const std::u16string& s)
{
    return !s.empty() && (s.back() == u' ' || s.back() == u'\r' || s.back() == u'\n' ||
                          s.back() == u'\t');
}

TEST(SystemErrorText, NullBufferFails)
{
    EXPECT_EQ(SystemErrorText(2, nullptr), -1);
}

TEST(SystemErrorText, AllOnesIsUnknownError)
{
    EXPECT_EQ(ErrorText(0xFFFFFFFFu), u"Unknown error");
}

TEST(SystemErrorText, CodeWithoutTextPrintsSignedNumber)
{
    EXPECT_EQ(ErrorText(0x20001234u), u"Error 536875572");
    EXPECT_EQ(ErrorText(0x80001234u), u"Error -2147478988");
    EXPECT_EQ(ErrorText(0xFFFFFFFEu), u"Error -2");
}

TEST(SystemErrorText, SystemTextIsOneTrimmedLine)
{
    for (uint32_t code : {2u, 5u, 6u, 87u, 1400u}) {
        std::u16string text = ErrorText(code);
        SCOPED_TRACE(code);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string::npos);
        EXPECT_FALSE(EndsInWhiteSpace(text));
        EXPECT_EQ(text.rfind(u"Error ", 0), std::u16string::npos) << "fell back to the number";
    }
}

#ifdef _WIN32
// The system's own text for code 2, less its trailing blank.
TEST(SystemErrorText, FileNotFoundIsTheSystemsText)
{
    wchar_t raw[1024];
    DWORD n = FormatMessageW(0x12FF, nullptr, 2, 0, raw, 1024, nullptr);
    ASSERT_GT(n, 0u);
    std::u16string expected(reinterpret_cast<const char16_t*>(raw), n);
    while (EndsInWhiteSpace(expected))
        expected.pop_back();
    EXPECT_EQ(ErrorText(2), expected);
}
#else
TEST(SystemErrorText, TheTablesTextTrimmed)
{
    EXPECT_EQ(ErrorText(2), u"File not found.");
    EXPECT_EQ(ErrorText(0x20000020), u"");  // a text of white space alone
}
#endif

}  // namespace
