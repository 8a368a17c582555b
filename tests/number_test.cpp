// Tests of number parsing (ParseUnsigned, the signed conversion behind
// relative positions, and the digits of every script), of TextCopy, and of
// colour names.
#include "../query/cellattr.h"
#include "unicode_digits.h"  // written at build time by unicode_digits.py

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct UnsignedCase {
    const char16_t* text;
    bool ok;
    uint32_t value;
};

const UnsignedCase kUnsignedCases[] = {
    {u"0", true, 0},
    {u"00012", true, 12},
    {u"4294967295", true, 4294967295u},
    {u"4294967296", false, 0},
    {u"99999999999999999999", false, 0},
    {u"0x10", true, 16},
    {u"0X1f", true, 31},
    // Base 16 skips one further 0x, in either case, right after the first
    // and before a hexadecimal digit; the value is then held to 32 bits.
    {u"0X0X1F", true, 31},
    {u"0x0x1f", true, 31},
    {u"0X0x1F", true, 31},
    {u"0x0X1f", true, 31},
    {u"0x0x0F", true, 15},
    {u"0x0x\uff11", true, 1},  // full-width 1
    {u"0x0xFFFFFFFF", true, 0xFFFFFFFFu},
    {u"0x0x100000000", false, 0},
    {u"0x0xg", false, 0},
    {u"0x0x0x1", false, 0},
    {u"0x00x1", false, 0},
    {u"0x1x1", false, 0},
    {u"0xFFFFFFFF", true, 0xFFFFFFFFu},
    {u"0xabcdef", true, 0xABCDEF},
    {u"0x01", true, 1},
    {u"18446744073709551616", false, 0},  // 2^64 would wrap a 64-bit sum to 0
    {u"0x100000000", false, 0},
    {u"0x", false, 0},
    {u"0xG", false, 0},
    {u"0x0x", false, 0},
    {u"0x-1", false, 0},
    {u"12a", false, 0},
    {u"1 2", false, 0},
    {u"+5", false, 0},
    {u"-1", false, 0},
    {u" 5", false, 0},
    {u"A", false, 0},
    {u"", false, 0},
    // Decimal digits of other scripts count, letters above 9 only in hex.
    {u"1\uff12", true, 12},           // full-width 2
    {u"\u0663\u0660", true, 30},      // Arabic-Indic 3 0
    {u"0x1\uff10", true, 16},         // full-width 0 in hexadecimal
    {u"0x\uff21", false, 0},          // full-width A is no hex digit
    {u"\u00b2", false, 0},            // superscript two is no decimal digit
};

TEST(ParseUnsigned, AcceptsWholeNumbersOnly)
{
    for (const UnsignedCase& c : kUnsignedCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.text)));
        uint32_t out = 0xA5A5A5A5u;
        EXPECT_EQ(ParseUnsigned(c.text, &out), c.ok ? 0 : -1);
        EXPECT_EQ(out, c.ok ? c.value : 0xA5A5A5A5u) << "out must be untouched on failure";
    }
}

TEST(ParseUnsigned, NullArgumentsFail)
{
    EXPECT_EQ(ParseUnsigned(u"5", nullptr), -1);
    uint32_t out = 7;
    EXPECT_EQ(ParseUnsigned(nullptr, &out), -1);
    EXPECT_EQ(out, 7u);
}

// Every character of the basic plane, against Unicode's own decimal digits
// (category Nd, as Python's unicodedata has them) and A to F in either case.
TEST(DigitValue, EveryCharacterOfTheBasicPlane)
{
    std::vector<int> decimal(0x10000, -1);
    for (const UnicodeDecimalDigit& d : kUnicodeDecimalDigits)
        decimal[d.code] = d.value;
    int wrong = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        int hex = decimal[c];
        if (c >= u'A' && c <= u'F')
            hex = static_cast<int>(c - u'A') + 10;
        if (c >= u'a' && c <= u'f')
            hex = static_cast<int>(c - u'a') + 10;
        int got10 = DigitValue(static_cast<Char>(c), 10), got16 = DigitValue(static_cast<Char>(c), 16);
        if (got10 != decimal[c] || got16 != hex) {
            if (++wrong <= 10)
                ADD_FAILURE() << "U+" << std::hex << c << std::dec << ": " << got10 << " and "
                              << got16 << " in bases 10 and 16, not " << decimal[c] << " and " << hex;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// ---------------------------------------------------------------------------

struct CopyCase {
    size_t capacity;
    const char16_t* expected;  // what dest then holds; nullptr: untouched
};

TEST(TextCopy, WritesWithinTheCapacityOnly)
{
    const CopyCase cases[] = {{0, nullptr}, {1, u""}, {3, u"ab"}, {4, u"abc"}, {8, u"abc"}};
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::u16string dest(8, u'#');
        size_t n = TextCopy(dest.data(), c.capacity, u"abc");
        std::u16string expected = c.expected == nullptr ? u"" : c.expected;
        EXPECT_EQ(n, expected.size());
        if (c.expected != nullptr)
            expected += u'\0';  // the terminator
        EXPECT_EQ(dest, expected + std::u16string(8 - expected.size(), u'#'));
    }
}

struct SignedCase {
    const char16_t* text;
    bool converts;  // whole text, in range
    int32_t value;
};

const SignedCase kSignedCases[] = {
    {u"+0", true, 0},
    {u"-1", true, -1},
    {u"+2147483647", true, 2147483647},
    {u"-2147483648", true, INT32_MIN},
    {u"+2147483648", false, 0},
    {u"-2147483649", false, 0},
    {u"+1\uff12", true, 12},
    {u"-\u0967", true, -1},  // Devanagari 1
    {u"+", false, 0},
    {u"-", false, 0},
    {u"+0x10", false, 0},
    {u"+ 1", false, 0},
};

TEST(ConvertSigned, DecimalOffsets)
{
    for (const SignedCase& c : kSignedCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.text)));
        const Char* end = nullptr;
        bool rangeError = false;
        int32_t v = ConvertSigned(c.text, 10, &end, &rangeError);
        bool converts = !rangeError && end != c.text && *end == 0;
        EXPECT_EQ(converts, c.converts);
        if (c.converts) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(ConvertUnsigned, StopsWhereDigitsEnd)
{
    const Char* text = u"  -12x";
    const Char* end = nullptr;
    bool rangeError = true;
    EXPECT_EQ(ConvertUnsigned(text, 10, &end, &rangeError), 0u - 12u);  // as wcstoul
    EXPECT_FALSE(rangeError);
    EXPECT_EQ(end, text + 5);
    const Char* none = u"x";
    ConvertUnsigned(none, 10, &end, &rangeError);
    EXPECT_EQ(end, none);
}

// ---------------------------------------------------------------------------

struct NameCase {
    unsigned nibble;
    const char16_t* longName;
    const char16_t* shortName;
};

const NameCase kNames[] = {
    {0, u"Black", u"Bla"},           {1, u"Blue", u"Blu"},
    {2, u"Green", u"Gre"},           {3, u"Cyan", u"Cya"},
    {4, u"Red", u"Red"},             {5, u"Magenta", u"Mag"},
    {6, u"Yellow", u"Yel"},          {7, u"White", u"Whi"},
    {8, u"Bright Black", u"Bri Bla"}, {9, u"Bright Blue", u"Bri Blu"},
    {10, u"Bright Green", u"Bri Gre"}, {11, u"Bright Cyan", u"Bri Cya"},
    {12, u"Bright Red", u"Bri Red"}, {13, u"Bright Magenta", u"Bri Mag"},
    {14, u"Bright Yellow", u"Bri Yel"}, {15, u"Bright White", u"Bri Whi"},
};

TEST(ColorName, LongAndShortNames)
{
    for (const NameCase& c : kNames) {
        EXPECT_EQ(std::u16string(ColorName(c.nibble, false)), c.longName) << c.nibble;
        EXPECT_EQ(std::u16string(ColorName(c.nibble, true)), c.shortName) << c.nibble;
    }
}

TEST(ColorName, FourRotatingSlots)
{
    const Char* first = ColorName(13, false);
    const Char* second = ColorName(1, false);
    const Char* third = ColorName(2, true);
    const Char* fourth = ColorName(3, false);
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_NE(first, fourth);
    EXPECT_NE(second, third);
    EXPECT_EQ(std::u16string(first), u"Bright Magenta");  // still valid
    EXPECT_EQ(std::u16string(second), u"Blue");
    const Char* fifth = ColorName(4, false);
    EXPECT_EQ(fifth, first);
    EXPECT_EQ(std::u16string(first), u"Red");
}

}  // namespace
