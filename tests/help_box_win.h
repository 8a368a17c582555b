// help_box_win.h - the plugin's help box on this desktop, found by its
// caption among the windows of one process alone: another program may have
// a box of that caption open (the real plugin's help, in a user's session),
// and a test that took it for its own would read it, close it, and then
// wait at its own.
#pragma once

#include "help_text.h"

#include <windows.h>

#include <string>

namespace help_box {

// The visible top-level window of `process` with the help box's caption, or
// null.  FindWindowExW compares the windows' own captions: asking a window
// for its text would send it a message, which waits for the thread that
// owns it, and that thread may be waiting for the caller.
inline HWND Find(DWORD process)
{
    const auto* caption = reinterpret_cast<const wchar_t*>(kExpectedHelpCaption);
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, caption); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// "of class "Name" of process 1234", or "none" for a null window.
inline std::string Describe(HWND window)
{
    if (window == nullptr)
        return "none";
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return std::string("one of class \"") + name + "\" of process " + std::to_string(process);
}

}  // namespace help_box
