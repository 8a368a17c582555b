// plugins.cpp - loading plugins as the host does (GetPluginInfo, then
// InitializePlugin; ShutdownPlugin and FreeLibrary at the end), and calling
// their variable functions and help.
#include "cmdproc.h"

#include "../../host/interface/host_services.h"

std::vector<Plugin> plugins;

namespace {

using GetPluginInfoFn = PluginInfo*(__stdcall*)();
using LifecycleFn = int32_t(__stdcall*)();
using HelpFn = int32_t(__stdcall*)(const char16_t*);
using VariableFn = int32_t(__stdcall*)(char16_t*);

template <typename Fn>
Fn Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool LoadPlugin(Plugin& plugin)
{
    plugin.module = LoadLibraryW(W(plugin.path));
    if (plugin.module == nullptr) {
        DWORD error = GetLastError();
        SystemError(u"Cannot load " + plugin.path, error);
        return false;
    }
    auto getInfo = Export<GetPluginInfoFn>(plugin.module, "GetPluginInfo");
    auto initialize = Export<LifecycleFn>(plugin.module, "InitializePlugin");
    if (getInfo == nullptr || initialize == nullptr) {
        Error(plugin.path + u" is not a plugin: it lacks GetPluginInfo or InitializePlugin");
        FreeLibrary(plugin.module);
        plugin.module = nullptr;
        return false;
    }
    // The record first, as the host reads it before starting the plugin.
    plugin.info = getInfo();
    if (plugin.info == nullptr) {
        Error(plugin.path + u": GetPluginInfo returned no record");
        FreeLibrary(plugin.module);
        plugin.module = nullptr;
        return false;
    }
    int32_t rc = initialize();
    if (rc != 0)
        Error(plugin.path + u": InitializePlugin returned " + Number(rc));
    return true;
}

void UnloadPlugin(Plugin& plugin)
{
    if (plugin.module == nullptr)
        return;
    auto shutdown = Export<LifecycleFn>(plugin.module, "ShutdownPlugin");
    if (shutdown != nullptr) {
        int32_t rc = shutdown();
        if (rc != 0)
            Error(plugin.path + u": ShutdownPlugin returned " + Number(rc));
    }
    FreeLibrary(plugin.module);
    plugin.module = nullptr;
    plugin.info = nullptr;
}

std::u16string Field(const char16_t* text)
{
    return text == nullptr ? u"(none)" : text;
}

}  // namespace

bool LoadAll()
{
    bool ok = true;
    for (Plugin& plugin : plugins)
        ok = LoadPlugin(plugin) && ok;
    return ok;
}

void UnloadAll()
{
    for (size_t i = plugins.size(); i > 0; --i)
        UnloadPlugin(plugins[i - 1]);
}

// A failing function has said why on standard error; like the host, we go on
// with nothing in its place.
std::u16string CallFunction(const std::u16string& name, const std::u16string& args)
{
    std::string exportName = "f_";
    for (char16_t c : Lower(name))
        exportName += static_cast<char>(c);  // the expander's names are ASCII
    VariableFn function = nullptr;
    for (const Plugin& plugin : plugins)
        if (plugin.module != nullptr &&
            (function = Export<VariableFn>(plugin.module, exportName.c_str())) != nullptr)
            break;
    if (function == nullptr) {
        Error(u"Unknown function: @" + name);
        return {};
    }
    std::vector<char16_t> buffer(HOST_RESULT_CAPACITY, u'\0');
    args.copy(buffer.data(), HOST_RESULT_CAPACITY - 1);
    int32_t rc = function(buffer.data());
    if (rc != 0) {
        if (rc != -1)
            Error(u"@" + name + u" returned " + Number(rc));
        return {};
    }
    size_t length = 0;
    while (length < HOST_RESULT_CAPACITY && buffer[length] != 0)
        ++length;
    return std::u16string(buffer.data(), length);
}

void AskHelp(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string name = NextWord(args, pos);
    if (name.empty()) {
        Error(u"Usage: help @name");
        return;
    }
    for (const Plugin& plugin : plugins) {
        if (plugin.module == nullptr)
            continue;
        auto help = Export<HelpFn>(plugin.module, "Help");
        if (help != nullptr && help(name.c_str()) == 1)
            return;
    }
    Error(u"No help for " + name);
}

void ListPlugins()
{
    for (const Plugin& plugin : plugins) {
        const PluginInfo* info = plugin.info;
        if (info == nullptr)
            continue;
        Out(Field(info->dllName) + u" " + Number(info->versionMajor) + u"." +
            Number(info->versionMinor) + u"." + Number(info->versionBuild) + u"\r\n");
        Out(u"  author:      " + Field(info->author) + u"\r\n");
        Out(u"  email:       " + Field(info->email) + u"\r\n");
        Out(u"  web page:    " + Field(info->webPage) + u"\r\n");
        Out(u"  description: " + Field(info->description) + u"\r\n");
        Out(u"  functions:   " + Field(info->functions) + u"\r\n");
    }
}
