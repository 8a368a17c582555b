// plugin.h - the entry points through which the host identifies, starts,
// stops and asks help of the module, and the record it identifies it by.
#pragma once

#include "../support/plugin_support.h"

// The identification record, handed to the host by address.  Field order and
// widths are the host's: six 64-bit pointers to UTF-16 text in the module's
// constant data, then three 32-bit integers.
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
};

extern "C" {
PluginInfo* PLUGIN_API GetPluginInfo();
int32_t PLUGIN_API InitializePlugin();
int32_t PLUGIN_API ShutdownPlugin();
int32_t PLUGIN_API Help(const Char* name);
}
