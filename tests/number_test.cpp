// Tests of number parsing (ParseUnsigned and the signed conversion behind
// relative positions) and of colour names.
#include "../query/cellattr.h"

#include <gtest/gtest.h>

#include <string>

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
    {u"0X0X1F", true, 31},
    {u"0xFFFFFFFF", true, 0xFFFFFFFFu},
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

TEST(ParseUnsigned, NullOutFails)
{
    EXPECT_EQ(ParseUnsigned(u"5", nullptr), -1);
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
