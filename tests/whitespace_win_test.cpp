// Compares our own space table, which the native build uses, with the
// classification of the Windows runtime and of GetStringTypeW.
#include "../support/plugin_support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <cwctype>

namespace {

TEST(WhiteSpace, TableMatchesTheRuntimesClassification)
{
    int differences = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        bool table = IsSpaceTable(static_cast<Char>(c));
        bool runtime = iswspace(static_cast<wint_t>(c)) != 0;
        bool used = IsWhiteSpace(static_cast<Char>(c));
        if (table != runtime || used != table) {
            ++differences;
            ADD_FAILURE() << "U+" << std::hex << c << ": table " << table << ", iswspace "
                          << runtime << ", IsWhiteSpace " << used;
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(WhiteSpace, TableMatchesGetStringTypeFrom0100)
{
    for (unsigned c = 0x100; c < 0xFFFF; ++c) {
        wchar_t ch = static_cast<wchar_t>(c);
        WORD type = 0;
        ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, &ch, 1, &type));
        EXPECT_EQ(IsSpaceTable(static_cast<Char>(c)), (type & C1_SPACE) != 0)
            << "U+" << std::hex << c;
    }
    EXPECT_FALSE(IsWhiteSpace(0xFFFF));
}

}  // namespace
