// Tests of the entry points on the stand-in host: the identification
// record, the load banner and the help lookup.
#include "../host/plugin.h"
#include "../query/cellattr.h"
#include "../standin/platform/sim_console.h"
#include "../standin/takecmd/standin_host.h"
#include "capture.h"
#include "cellattr_cases.h"
#include "help_text.h"
#include "version_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

std::u16string Text(const Char* s)
{
    return s == nullptr ? u"<null>" : std::u16string(s);
}

// Every one of the nine fields is filled again on every call, whatever the
// host did to the record in between.
TEST(PluginInfo, SameRecordAndContentsOnEveryCall)
{
    PluginInfo* first = GetPluginInfo();
    ASSERT_NE(first, nullptr);
    for (const Char** text : {&first->dllName, &first->author, &first->email, &first->webPage,
                              &first->description, &first->functions})
        *text = u"scribbled";
    first->versionMajor = first->versionMinor = first->versionBuild = -1;
    PluginInfo* second = GetPluginInfo();
    EXPECT_EQ(second, first);
    EXPECT_EQ(Text(second->dllName), u"CellAttr");
    EXPECT_EQ(Text(second->author), u"" CELLATTR_AUTHOR);
    EXPECT_EQ(Text(second->email), u"" CELLATTR_EMAIL);
    EXPECT_EQ(Text(second->webPage), u"" CELLATTR_WEB_PAGE);
    EXPECT_EQ(Text(second->description), u"@CELLATTR function");
    EXPECT_EQ(Text(second->functions), u"@cellattr");
    EXPECT_EQ(second->versionMajor, CELLATTR_VERSION_MAJOR);
    EXPECT_EQ(second->versionMinor, CELLATTR_VERSION_MINOR);
    EXPECT_EQ(second->versionBuild, CELLATTR_VERSION_PATCH);
}

// The released version.  Every other test takes the version from the build;
// this one is changed on purpose, with project() in CMakeLists.txt, when a
// release takes a new one, so that no version changes by accident.
TEST(Version, IsTheReleasedOne)
{
    EXPECT_EQ(VersionText(), "0.91.0");
}

TEST(PluginInfo, LayoutIsSixPointersThenThreeIntegers)
{
    EXPECT_EQ(offsetof(PluginInfo, functions), 5 * sizeof(void*));
    EXPECT_EQ(offsetof(PluginInfo, versionMajor), 6 * sizeof(void*));
    EXPECT_EQ(offsetof(PluginInfo, versionBuild), 6 * sizeof(void*) + 8);
}

// A host whose layout of the record defines fields after the nine writes
// them.  The whole tail must be the record's own (the sanitized build sees a
// write past it), the module must never write it, and everything must go on
// working.
TEST(PluginInfo, AHostMayWriteTheWholeReservedTail)
{
    PluginInfo* info = GetPluginInfo();
    auto* tail = reinterpret_cast<unsigned char*>(&info->versionBuild + 1);
    auto tailHolds = [&](unsigned char value) {
        return std::all_of(tail, tail + PLUGIN_INFO_RESERVED,
                           [value](unsigned char b) { return b == value; });
    };
    EXPECT_TRUE(tailHolds(0)) << "the tail starts zeroed";
    std::memset(tail, 0xA5, PLUGIN_INFO_RESERVED);

    ResetHostVariables();
    StdoutCaptureBegin();
    EXPECT_EQ(InitializePlugin(), 0);
    EXPECT_EQ(StdoutCaptureEnd(), ExpectedBanner());
    standin::MessageBoxes() = {};
    EXPECT_EQ(Help(u"@cellattr"), 1);
    EXPECT_EQ(standin::MessageBoxes().text, kExpectedHelpText);
    simconsole::Reset(120, 300);
    simconsole::SetCell(0, 0, 0x07);
    simconsole::SetCell(1, 0, 0x1F);
    for (const FormatCase& c : kFormatCases)
        ExpectCallResult([](const std::u16string& args) { return CallAsHost(f_cellattr, args); },
                         c.args, c.result);
    EXPECT_EQ(ShutdownPlugin(), 0);

    EXPECT_EQ(GetPluginInfo(), info);
    EXPECT_EQ(Text(info->dllName), u"CellAttr");
    EXPECT_EQ(Text(info->functions), u"@cellattr");
    EXPECT_EQ(info->versionMinor, CELLATTR_VERSION_MINOR);
    EXPECT_TRUE(tailHolds(0xA5)) << "the module wrote into the tail";
    std::memset(tail, 0, PLUGIN_INFO_RESERVED);
}

struct BannerCase {
    const char16_t* transient;
    const char16_t* pipe;
    const char16_t* noloadmsg;  // nullptr: not set
    bool shown;
};

const BannerCase kBannerCases[] = {
    {u"0", u"0", nullptr, true},  {u"0", u"0", u"1", false},  {u"0", u"0", u"0", false},
    {u"1", u"0", nullptr, false}, {u"0", u"1", nullptr, false}, {u"1", u"1", nullptr, false},
    {u"1", u"1", u"x", false},    {u"0", u"1", u"x", false},    {u"1", u"0", u"x", false},
    {u"0", u"", nullptr, false},  // "0" alone is not "00"
};

TEST(InitializePlugin, BannerOnlyWhenNeitherTransientNorPipedNorSilenced)
{
    for (const BannerCase& c : kBannerCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.transient) + u"|" + c.pipe + u"|" +
                                              (c.noloadmsg ? c.noloadmsg : u"unset")));
        ResetHostVariables();
        SetHostVariable(u"_transient", c.transient);
        SetHostVariable(u"_pipe", c.pipe);
        SetHostVariable(u"noloadmsg", c.noloadmsg);
        StdoutCaptureBegin();
        StderrCaptureBegin();
        EXPECT_EQ(InitializePlugin(), 0);
        EXPECT_EQ(StderrCaptureEnd(), u"");
        EXPECT_EQ(StdoutCaptureEnd(), c.shown ? ExpectedBanner() : u"");
    }
    ResetHostVariables();
}

// The host writes the whole expansion into the banner test's buffer, up to
// its line limit: a noloadmsg that takes the expansion to exactly that limit
// must fit (the sanitized build sees any overrun, by one character too) and
// silence the banner all the same.
TEST(InitializePlugin, ALongNoloadmsgFitsAndSilences)
{
    ResetHostVariables();
    std::u16string value(HOST_LINE_LIMIT - 2, u'x');  // after "00" from _transient, _pipe
    SetHostVariable(u"noloadmsg", value.c_str());
    // The expansion is the whole line, neither cut nor short of the limit.
    std::u16string expanded = u"%[_transient]%[_pipe]%[noloadmsg]";
    expanded.resize(HOST_LINE_LIMIT + 2);  // room for one character past the limit
    StandinExpand(expanded.data(), expanded.size());
    expanded.resize(std::char_traits<char16_t>::length(expanded.c_str()));
    ASSERT_EQ(expanded.size(), HOST_LINE_LIMIT);
    ASSERT_EQ(expanded, u"00" + value);

    StdoutCaptureBegin();
    EXPECT_EQ(InitializePlugin(), 0);
    EXPECT_EQ(StdoutCaptureEnd(), u"");
    ResetHostVariables();
}

TEST(ShutdownPlugin, ReturnsZeroAnyNumberOfTimes)
{
    EXPECT_EQ(ShutdownPlugin(), 0);
    EXPECT_EQ(ShutdownPlugin(), 0);
    EXPECT_EQ(GetPluginInfo()->versionMinor, CELLATTR_VERSION_MINOR);  // any order works
}

struct HelpCase {
    const char16_t* name;
    bool ours;
};

const HelpCase kHelpCases[] = {
    {u"@CELLATTR", true},  {u"@cellattr", true},   {u"@CellAttr", true},
    {u"cellattr", false},  {u"@CELLATTRX", false}, {u"@CELLATT", false},
    {u"", false},          {u"@cellattr ", false},
    {u"@\uFF23ELLATTR", false},  // only A to Z fold: a full-width C is no c
};

TEST(Help, ShowsTheTextForItsOwnNameOnly)
{
    for (const HelpCase& c : kHelpCases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.name)));
        standin::MessageBoxes() = {};
        EXPECT_EQ(Help(c.name), c.ours ? 1 : 0);
        EXPECT_EQ(standin::MessageBoxes().shown, c.ours ? 1 : 0);
        if (c.ours) {
            EXPECT_EQ(standin::MessageBoxes().text, kExpectedHelpText);
            EXPECT_EQ(standin::MessageBoxes().caption, kExpectedHelpCaption);
        }
    }
}

TEST(Help, NullNameShowsNothing)
{
    standin::MessageBoxes() = {};
    EXPECT_EQ(Help(nullptr), 0);
    EXPECT_EQ(standin::MessageBoxes().shown, 0);
}

}  // namespace
