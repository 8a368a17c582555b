// win_plugin.h - loads CellAttr.dll as the host does, by name with
// LoadLibraryW, and finds its exports with GetProcAddress.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

using CellAttrFunction = int(__stdcall*)(char16_t*);

inline HMODULE PluginModule()
{
    static HMODULE module = LoadLibraryW(L"CellAttr.dll");
    return module;
}

inline CellAttrFunction CellAttrExport()
{
    HMODULE module = PluginModule();
    return module == nullptr
               ? nullptr
               : reinterpret_cast<CellAttrFunction>(
                     reinterpret_cast<void*>(GetProcAddress(module, "f_cellattr")));
}
