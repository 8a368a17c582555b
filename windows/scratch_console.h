// scratch_console.h - a screen buffer of the tests' own.  Tests that resize,
// paint and move the cursor do it in a buffer made the console's active one
// for their run, and the buffer that was active before is made active again
// afterwards, so the user's console is left as the tests found it: its
// contents, size, window and cursor.  CONOUT$, which the plugin and the
// stand-in command processor open, names whichever buffer is active.
#pragma once

#include <windows.h>

namespace scratch_console {

inline HANDLE& Previous()
{
    static HANDLE handle = INVALID_HANDLE_VALUE;
    return handle;
}

inline HANDLE& Own()
{
    static HANDLE handle = INVALID_HANDLE_VALUE;
    return handle;
}

// Makes a new screen buffer the active one.  False, changing nothing, when
// the process has no console or the console refuses.
inline bool Begin()
{
    HANDLE previous = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
    if (previous == INVALID_HANDLE_VALUE)
        return false;
    HANDLE own = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (own == INVALID_HANDLE_VALUE || !SetConsoleActiveScreenBuffer(own)) {
        if (own != INVALID_HANDLE_VALUE)
            CloseHandle(own);
        CloseHandle(previous);
        return false;
    }
    Previous() = previous;
    Own() = own;
    return true;
}

// Makes the buffer that was active before Begin the active one again.
inline void End()
{
    if (Previous() == INVALID_HANDLE_VALUE)
        return;
    SetConsoleActiveScreenBuffer(Previous());
    CloseHandle(Own());
    CloseHandle(Previous());
    Own() = Previous() = INVALID_HANDLE_VALUE;
}

}  // namespace scratch_console
