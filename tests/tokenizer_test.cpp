// Tests of the argument tokenizer: splitting, quotes, trimming, the limits
// of argBuffer and of the argument table, and ArgList's invariants.
#include "../support/platform.h"
#include "capture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Arg = std::optional<std::u16string>;  // nullopt: null text, length 0

// Checks the invariants that hold after every successful call.
void ExpectInvariants(int32_t count)
{
    ASSERT_GE(count, 0);
    ASSERT_LE(count, MAX_ARGS);
    EXPECT_EQ(ArgList.argCount, count);
    for (int i = 0; i < MAX_ARGS; ++i) {
        const Char* text = ArgList.argText[i];
        int32_t len = ArgList.argLen[i];
        if (i >= count) {
            ASSERT_EQ(text, nullptr) << "entry " << i;
            ASSERT_EQ(len, 0) << "entry " << i;
            continue;
        }
        if (text == nullptr) {
            ASSERT_EQ(len, 0) << "entry " << i;
            continue;
        }
        ASSERT_GE(text, ArgList.argBuffer);
        ASSERT_LT(text + len, ArgList.argBuffer + MAX_ARG_LEN);
        ASSERT_EQ(text[len], 0) << "entry " << i;
    }
}

std::vector<Arg> Arguments(int32_t count)
{
    std::vector<Arg> args;
    for (int i = 0; i < count; ++i) {
        if (ArgList.argText[i] == nullptr)
            args.push_back(std::nullopt);
        else
            args.push_back(std::u16string(ArgList.argText[i], ArgList.argLen[i]));
    }
    return args;
}

// What is left of c at an argument's edge: nothing where this system's space
// class holds c, else c (one Windows may class it otherwise than another).
std::u16string AtEdge(char16_t c)
{
    return platform::IsSpaceClass(c) ? u"" : std::u16string(1, c);
}

struct SplitCase {
    const char16_t* input;
    std::vector<Arg> expected;
};

const SplitCase kSplitCases[] = {
    {u"5,,7", {u"5", std::nullopt, u"7"}},
    {u" \"a,b\" , c ", {u"A,B", u"C"}},
    {u"x,", {u"X"}},
    {u"x, ", {u"X"}},
    {u",x", {std::nullopt, u"X"}},
    {u",", {std::nullopt}},
    {u",,", {std::nullopt, std::nullopt}},
    {u"", {}},
    {u"   ", {}},
    {u"\"\"", {}},
    {u"\"\",5", {std::nullopt, u"5"}},
    {u"\" \"", {u""}},
    {u"\" a\"", {u" A"}},
    {u"\"a \",b", {u"A", u"B"}},
    {u"a\"b,c\"d", {u"AB,CD"}},
    {u"\"abc", {u"ABC"}},
    {u"\"a,b", {u"A,B"}},
    {u"a b", {u"A B"}},
    {u"\t1,\t2\t", {u"1", u"2"}},
    {u"h\u00e9llo,\u00dfz", {u"H\u00e9LLO", u"\u00dfZ"}},
    {u"azAZ09{}", {u"AZAZ09{}"}},
    // White space from U+0100 on comes from the platform's space class.
    {u"\u3000x\u2003,\u00a0y\u205f",
     {AtEdge(u'\u3000') + u"X" + AtEdge(u'\u2003'), u"Y" + AtEdge(u'\u205f')}},
    // U+0085 and U+FFFF are never white space.
    {u"\u0085x\u0085", {u"\u0085X\u0085"}},
    {u"x\uffff", {u"X\uffff"}},
    {u"\r\n\v\f7 \r\n", {u"7"}},
};

TEST(Tokenizer, SplitsQuotesAndTrims)
{
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.input)));
        int32_t count = TokenizeArgs(c.input);
        ASSERT_EQ(count, static_cast<int32_t>(c.expected.size()));
        ExpectInvariants(count);
        EXPECT_EQ(Arguments(count), c.expected);
    }
}

TEST(Tokenizer, QuotedBlankIsEmptyButNotNull)
{
    ASSERT_EQ(TokenizeArgs(u"\" \""), 1);
    ASSERT_NE(ArgList.argText[0], nullptr);
    EXPECT_EQ(ArgList.argLen[0], 0);
    EXPECT_EQ(ArgList.argText[0][0], 0);
}

TEST(Tokenizer, NeverChangesTheInput)
{
    std::u16string input = u" \"a b\" , c,d ";
    std::u16string copy = input;
    ASSERT_EQ(TokenizeArgs(input.c_str()), 3);
    EXPECT_EQ(input, copy);
}

TEST(Tokenizer, ResetsTheTableOnEveryCall)
{
    ASSERT_EQ(TokenizeArgs(u"a,b,c,d"), 4);
    ASSERT_EQ(TokenizeArgs(u"e"), 1);
    ExpectInvariants(1);
    EXPECT_EQ(Arguments(1), std::vector<Arg>{u"E"});
}

TEST(Tokenizer, NullTextFailsAndKeepsThePreviousResult)
{
    ASSERT_EQ(TokenizeArgs(u"a,b"), 2);
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(nullptr), -1);
    EXPECT_EQ(StderrCaptureEnd(), u"");
    EXPECT_EQ(ArgList.argCount, 2);
    EXPECT_EQ(Arguments(2), (std::vector<Arg>{u"A", u"B"}));
}

// ---------------------------------------------------------------------------
// The edges of argBuffer: a character is stored only at positions up to 8190.

std::u16string Letters(size_t n)
{
    return std::u16string(n, u'q');
}

const std::u16string kOverflow8191 =
    u"CellAttr plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n";

TEST(Tokenizer, FillsArgBufferToTheLastPosition)
{
    std::u16string input = Letters(8191);
    ASSERT_EQ(TokenizeArgs(input.c_str()), 1);
    ExpectInvariants(1);
    EXPECT_EQ(ArgList.argLen[0], 8191);
    EXPECT_EQ(ArgList.argBuffer[8191], 0);
}

TEST(Tokenizer, OverflowReportsTheStorePosition)
{
    ResetHostVariables();
    std::u16string input = Letters(8192);
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(input.c_str()), -1);
    EXPECT_EQ(StderrCaptureEnd(), kOverflow8191);
    EXPECT_EQ(ArgList.argCount, 0);
}

TEST(Tokenizer, SeparatorTakesAPosition)
{
    std::u16string fits = Letters(8189) + u",y";
    ASSERT_EQ(TokenizeArgs(fits.c_str()), 2);
    ExpectInvariants(2);
    EXPECT_EQ(ArgList.argText[1], &ArgList.argBuffer[8190]);
    EXPECT_EQ(ArgList.argLen[1], 1);

    ResetHostVariables();
    std::u16string overflows = Letters(8190) + u",y";
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(overflows.c_str()), -1);
    EXPECT_EQ(StderrCaptureEnd(), kOverflow8191);
}

// A separator that finds the store at the last position ends the argument
// without taking a position; only a character after it overflows.
TEST(Tokenizer, SeparatorAtTheLastPosition)
{
    std::u16string trailing = Letters(8191) + u",";
    ASSERT_EQ(TokenizeArgs(trailing.c_str()), 1);
    ExpectInvariants(1);
    EXPECT_EQ(ArgList.argLen[0], 8191);

    std::u16string twoSeparators = Letters(8191) + u",, ";
    ASSERT_EQ(TokenizeArgs(twoSeparators.c_str()), 2);
    ExpectInvariants(2);
    EXPECT_EQ(ArgList.argText[1], nullptr);
    EXPECT_EQ(ArgList.argBuffer[8191], 0);

    ResetHostVariables();
    std::u16string more = Letters(8191) + u",x";
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(more.c_str()), -1);
    EXPECT_EQ(StderrCaptureEnd(), kOverflow8191);
}

TEST(Tokenizer, OverflowLeavesGatheredEntriesUntrimmed)
{
    ResetHostVariables();
    std::u16string input = u"ab ," + Letters(8190);
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(input.c_str()), -1);
    StderrCaptureEnd();
    EXPECT_EQ(ArgList.argCount, 0);
    ASSERT_NE(ArgList.argText[0], nullptr);
    EXPECT_EQ(ArgList.argLen[0], 3);
    EXPECT_EQ(std::u16string(ArgList.argText[0]), u"AB ");
}

TEST(Tokenizer, OverflowInsideABatchFileCarriesThePrefix)
{
    ResetHostVariables();
    SetHostVariable(u"_batch", u"1");
    SetHostVariable(u"_batchname", u"C:\\t\\x.btm");
    SetHostVariable(u"_batchline", u"3");
    std::u16string input = Letters(9000);
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(input.c_str()), -1);
    EXPECT_EQ(StderrCaptureEnd(),
              u"CellAttr plugin: C:\\t\\x.btm [3]  Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");
    ResetHostVariables();
}

// ---------------------------------------------------------------------------
// The argument table holds MAX_ARGS entries.

std::u16string Repeat(const std::u16string& s, int n)
{
    std::u16string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(Tokenizer, ArgumentsBeyondTheTableAreDropped)
{
    std::u16string input = Repeat(u"1,", 1024) + u"x";
    ASSERT_EQ(TokenizeArgs(input.c_str()), 1024);
    ExpectInvariants(1024);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(std::u16string(ArgList.argText[i]), u"1") << i;

    // Quotes of dropped arguments still flip: the comma inside stays inside.
    std::u16string quoted = Repeat(u"2,", 1024) + u"\"a,b\",";
    ASSERT_EQ(TokenizeArgs(quoted.c_str()), 1024);
    ExpectInvariants(1024);
}

TEST(Tokenizer, DroppedArgumentsStillTakePositionsAndCanOverflow)
{
    ResetHostVariables();
    // 1024 arguments use 2048 positions; 6143 separators more reach 8191.
    std::u16string input = Repeat(u"1,", 1024) + std::u16string(6143, u',') + u"x";
    StderrCaptureBegin();
    EXPECT_EQ(TokenizeArgs(input.c_str()), -1);
    EXPECT_EQ(StderrCaptureEnd(), kOverflow8191);
}

}  // namespace
