// plugin.cpp - the entry points through which the host identifies the
// module, starts it, asks it for help and stops it.
#include "plugin.h"

#include "cellattr_version.h"
#include "interface/host_services.h"
#include "../support/platform.h"

// Zero at load, reserved tail included, which is the host's alone to write.
static PluginInfo pluginInfo;

static constexpr int32_t VERSION_MAJOR = CELLATTR_VERSION_MAJOR;
static constexpr int32_t VERSION_MINOR = CELLATTR_VERSION_MINOR;
static constexpr int32_t VERSION_BUILD = CELLATTR_VERSION_PATCH;

// Names in the help table have room for 11 characters and the terminator.
static constexpr size_t HELP_NAME_LEN = 12;

struct HelpEntry {
    Char name[HELP_NAME_LEN];
    const Char* text;
};

// Documents format codes 0 to 2 only; 3 to 7 are accepted all the same.
static constexpr HelpEntry kHelpTable[] = {
    {u"@cellattr",
    u"@CELLATTR[row,col,len,flags] \r\n"
    u"\n"
    u"Reads one or more character attribute cells.\n"
    u"\n"
    u"If row or col begins with + or - it is relative to the cursor; \n"
    u"otherwise it\u2019s relative to the upper left of the visible window. \n"
    u"The row must be within the visible window.  Len may be 1 to 1024.\n"
    u"Flags controls the output format:\n"
    u"\n"
    u"\t0:\tdecimal (the default)\n"
    u"\t1:\thexadecimal\n"
    u"\t2:\thexadecimal with leading 0x \n"
    u"\n"
    u"Add 128 to return only the low bytes, or 256 to return only the\n"
    u"high bytes.\n"},
};

static constexpr size_t CAPTION_LEN = 1024;

extern "C" PluginInfo* PLUGIN_API GetPluginInfo()
{
    pluginInfo.dllName = PLUGIN_NAME;
    // u"" makes the build's plain strings UTF-16.
    pluginInfo.author = u"" CELLATTR_AUTHOR;
    pluginInfo.email = u"" CELLATTR_EMAIL;
    pluginInfo.webPage = u"" CELLATTR_WEB_PAGE;
    pluginInfo.description = u"@CELLATTR function";
    pluginInfo.functions = u"@cellattr";
    pluginInfo.versionMajor = VERSION_MAJOR;
    pluginInfo.versionMinor = VERSION_MINOR;
    pluginInfo.versionBuild = VERSION_BUILD;
    return &pluginInfo;
}

// Announces the module unless the host runs transient or in a pipe, or the
// user has set noloadmsg: only then do the three expand to exactly "00".
extern "C" int32_t PLUGIN_API InitializePlugin()
{
    // noloadmsg may hold a value of any length, and the host writes the
    // whole expansion back: the buffer holds the longest line it expands.
    Char buffer[EXPANSION_BUFFER_LEN] = {};
    TextCopy(buffer, EXPANSION_BUFFER_LEN, u"%[_transient]%[_pipe]%[noloadmsg]");
    ExpandVariables(buffer, 1);
    if (TextEqual(buffer, u"00"))
        Printf(u"%s v%u.%u.%u loaded.\r\n", PLUGIN_NAME, VERSION_MAJOR, VERSION_MINOR,
               VERSION_BUILD);
    return 0;
}

extern "C" int32_t PLUGIN_API ShutdownPlugin()
{
    return 0;  // nothing is held, so nothing is released
}

// Equal ignoring the case of A to Z only; every other character must match.
static bool EqualIgnoringAsciiCase(const Char* a, const Char* b)
{
    while (*a != 0 && UpperAscii(*a) == UpperAscii(*b)) {
        ++a;
        ++b;
    }
    return UpperAscii(*a) == UpperAscii(*b);
}

extern "C" int32_t PLUGIN_API Help(const Char* name)
{
    if (name == nullptr)
        return 0;
    Char caption[CAPTION_LEN];
    platform::FormatText(caption, u"%s Plugin Help", PLUGIN_NAME);
    for (const HelpEntry& entry : kHelpTable) {
        if (EqualIgnoringAsciiCase(name, entry.name)) {
            platform::ShowMessageBox(entry.text, caption);
            return 1;
        }
    }
    return 0;
}
