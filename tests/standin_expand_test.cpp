// Tests of the stand-in host's expander (standin/takecmd/expand.cpp), which
// both ExpandVariables and the stand-in command processor use: what each of
// them leaves as it is, cuts, or expands only once.  The module's tests and
// the end to end cases rely on these rules without pinning them down.
#include "../host/host_services.h"
#include "../standin/takecmd/expand.h"
#include "../standin/takecmd/standin_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ExpandCase {
    const char16_t* text;
    const char16_t* expected;
};

std::u16string HostExpand(const std::u16string& text)
{
    std::vector<char16_t> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 64, u'\0');
    StandinExpand(buffer.data(), buffer.size());
    return buffer.data();
}

TEST(StandinExpand, ExpandsVariablesOnceAndLeavesTheRest)
{
    StandinResetVariables();
    StandinSetVariable(u"a", u"alpha");
    StandinSetVariable(u"_b$9", u"x");
    StandinSetVariable(u"pct", u"%a%%");
    const ExpandCase cases[] = {
        {u"%a and %[A]", u"alpha and alpha"},
        {u"%_B$9.", u"x."},                // a name stops at the first other character
        {u"%pct %[pct]", u"%a%% %a%%"},     // values are not expanded again
        {u"100%% %", u"100% %"},           // a '%' at the end stays
        {u"%-a", u"%-a"},                  // so does one before no name
        {u"%[a", u"%[a"},                  // and before a '[' never closed
        {u"%[a]]", u"alpha]"},             // the first ']' closes
        {u"[%nosuch%[nosuch]]", u"[]"},    // unset variables are empty
        {u"%@f[%a]", u"%@f[alpha]"},       // functions are the command processor's
    };
    for (const ExpandCase& c : cases)
        EXPECT_EQ(HostExpand(c.text), c.expected)
            << "text: " << testing::PrintToString(std::u16string(c.text));
    StandinResetVariables();
}

// A real host writes the whole expansion back, up to its own line limit,
// without knowing the caller's buffer: so does ExpandVariables.
TEST(ExpandVariables, CutsAtTheLineLimitWhateverTheBuffer)
{
    StandinResetVariables();
    std::u16string value(STANDIN_LINE_LIMIT + 2000, u'v');
    StandinSetVariable(u"long", value.c_str());
    std::vector<char16_t> buffer(STANDIN_LINE_LIMIT + 4000, u'#');
    std::u16string reference = u"%long";
    reference.copy(buffer.data(), reference.size());
    buffer[reference.size()] = 0;
    EXPECT_EQ(ExpandVariables(buffer.data(), 1), 0);
    EXPECT_EQ(std::u16string(buffer.data()), value.substr(0, STANDIN_LINE_LIMIT));
    EXPECT_EQ(buffer[STANDIN_LINE_LIMIT + 1], u'#');  // nothing past the terminator
    StandinResetVariables();
}

std::u16string Value(const std::u16string& name)
{
    return name == u"a" ? u"alpha" : name == u"pct" ? u"%a" : u"";
}

// Shows what it was called with; "pct" yields a reference of its own.
std::u16string Call(const std::u16string& name, const std::u16string& args)
{
    return name == u"pct" ? u"%a" : u"{" + name + u"|" + args + u"}";
}

TEST(ExpandText, CallsFunctionsWithTheirArgumentsExpandedFirst)
{
    const ExpandCase cases[] = {
        {u"%@f[%a,%[a]]", u"{f|alpha,alpha}"},  // brackets inside count as pairs
        {u"%@f[[x]]y]", u"{f|[x]}y]"},
        {u"%@f[%@g[1]]", u"{f|{g|1}}"},
        {u"%@f[%pct] %@pct[]", u"{f|%a} %a"},  // nothing is expanded again
        {u"%@f %@f[x %@[x] %@ f[x]", u"%@f %@f[x %@[x] %@ f[x]"},  // no call
    };
    for (const ExpandCase& c : cases)
        EXPECT_EQ(standin::ExpandText(c.text, Value, Call), c.expected)
            << "text: " << testing::PrintToString(std::u16string(c.text));
}

// The command processor's lines have no limit of their own.
TEST(ExpandText, CutsNothing)
{
    std::u16string text(3 * STANDIN_LINE_LIMIT, u'x');
    EXPECT_EQ(standin::ExpandText(text + u"%a", Value, Call), text + u"alpha");
}

}  // namespace
