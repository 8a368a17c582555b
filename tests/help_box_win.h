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
// null.  Each caption is read from the window's own structure
// (InternalGetWindowText): asking a window for its text (GetWindowText, and
// FindWindowEx given a caption) sends a message to a window of this process,
// which waits for the thread that owns it, and that thread may be waiting
// for the caller.
inline HWND Find(DWORD process)
{
    struct Search { DWORD process; HWND found; } search{process, nullptr};
    EnumWindows([](HWND window, LPARAM given) -> BOOL {
        auto* s = reinterpret_cast<Search*>(given);
        DWORD owner = 0;
        wchar_t caption[256];
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->process || !IsWindowVisible(window) ||
            InternalGetWindowText(window, caption, 256) <= 0 ||
            std::u16string(reinterpret_cast<char16_t*>(caption)) != kExpectedHelpCaption)
            return TRUE;
        s->found = window;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
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
