// White space on this Windows.  The plugin's rule: U+0009..U+000D, U+0020
// and U+00A0 below U+0100, whatever the runtime says there; from U+0100 on
// whatever the runtime's iswspace says (the system's C1_SPACE); U+FFFF
// never.  A Windows whose classification differs from Wine's, below U+0100
// or above, does not make the plugin wrong, so only the rule fails a test.
// The native build has no system to ask and uses its own table instead
// (IsSpaceTable): where that table and this Windows differ, each difference
// is recorded as a line of the test's "findings" property, something to
// mend the table with, which the test kit shows and CI's summary keeps.
//
// For tests only: CELLATTR_TEST_SPACE_TABLE_DIFFERS=XXXX (hexadecimal) has
// the table read as if it said the opposite at U+XXXX, so that a table that
// differs from the system can be tried on a system that agrees with it.
#include "../support/plugin_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>

namespace {

bool InFixedSet(unsigned c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0;
}

TEST(WhiteSpace, FollowsThePluginsRuleOnThisSystem)
{
    int differences = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        bool want = c < 0x100 ? InFixedSet(c) : c != 0xFFFF && iswspace(static_cast<wint_t>(c));
        bool used = IsWhiteSpace(static_cast<Char>(c));
        // Where the rule is fixed, the native table must be it too.
        bool table = c < 0x100 ? IsSpaceTable(static_cast<Char>(c)) : want;
        if ((used != want || table != want) && ++differences <= 20)
            ADD_FAILURE() << "U+" << std::hex << c << ": IsWhiteSpace " << used
                          << ", the native table " << table << ", the rule " << want;
    }
    EXPECT_EQ(differences, 0);
}

// The code point that CELLATTR_TEST_SPACE_TABLE_DIFFERS names, or -1.
long PlantedDifference()
{
    char value[8];
    DWORD n = GetEnvironmentVariableA("CELLATTR_TEST_SPACE_TABLE_DIFFERS", value, sizeof value);
    if (n == 0 || n >= sizeof value)
        return -1;
    char* end = nullptr;
    long c = std::strtol(value, &end, 16);
    return *end == '\0' && c >= 0x100 && c < 0xFFFF ? c : -1;
}

const char* Says(bool space)
{
    return space ? "space" : "not space";
}

// From U+0100, where the table stands in for the system natively.
TEST(WhiteSpace, NativeTableAgainstThisSystem)
{
    const long planted = PlantedDifference();
    std::string findings;
    for (unsigned c = 0x100; c < 0xFFFF; ++c) {
        wchar_t ch = static_cast<wchar_t>(c);
        WORD type = 0;
        ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, &ch, 1, &type)) << "U+" << std::hex << c;
        bool table = IsSpaceTable(static_cast<Char>(c)) != (static_cast<long>(c) == planted);
        bool runtime = iswspace(static_cast<wint_t>(c)) != 0;
        bool system = (type & C1_SPACE) != 0;
        if (table == runtime && table == system)
            continue;
        char line[160];
        std::snprintf(line, sizeof line, "U+%04X: the native space table says %s; this Windows "
                      "says %s (iswspace), %s (GetStringTypeW)\n",
                      c, Says(table), Says(runtime), Says(system));
        findings += line;
    }
    RecordProperty("findings", findings);
}

}  // namespace
