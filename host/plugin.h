// plugin.h - the entry points through which the host identifies, starts,
// stops and asks help of the module, and the record it identifies it by.
#pragma once

#include "../support/plugin_support.h"

// Room after the nine fields for what a host's own layout of the record may
// define beyond them, in bytes.
inline constexpr size_t PLUGIN_INFO_RESERVED = 256;

// The identification record, handed to the host by address.  Field order and
// widths are the host's: six 64-bit pointers to UTF-16 text in the module's
// constant data, then three 32-bit integers, then a reserved tail.  A host
// whose record defines more fields after the nine may write them there
// without reaching the module's other data.  The tail is zero when the
// module loads and the module never writes it.
struct PluginInfo {
    const Char* dllName;
    const Char* author;
    const Char* email;
    const Char* webPage;
    const Char* description;
    const Char* functions;  // the names the plugin provides, "@cellattr"
    int32_t versionMajor;
    int32_t versionMinor;
    int32_t versionBuild;
    unsigned char reserved[PLUGIN_INFO_RESERVED];
};

extern "C" {
PluginInfo* PLUGIN_API GetPluginInfo();
int32_t PLUGIN_API InitializePlugin();
int32_t PLUGIN_API ShutdownPlugin();
int32_t PLUGIN_API Help(const Char* name);
}
