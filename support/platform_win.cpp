// platform_win.cpp - the platform services of platform.h on Windows: the
// real kernel32 and user32 calls, with wchar_t cast at the boundary.
#include "platform.h"

#include <windows.h>
#include <cstdarg>
#include <cwctype>

static_assert(sizeof(wchar_t) == sizeof(Char), "UTF-16 wchar_t expected");

namespace platform {

Handle StdErrorHandle()
{
    return GetStdHandle(STD_ERROR_HANDLE);
}

uint32_t SystemMessage(uint32_t code, Char* buffer, uint32_t capacity)
{
    return FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_MAX_WIDTH_MASK,
                          nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer), capacity,
                          nullptr);
}

int FormatText(Char* buffer, const Char* format, ...)  // NOLINT(cert-dcl50-cpp): wsprintfW's
{
    va_list ap;
    va_start(ap, format);
    int n = wvsprintfW(reinterpret_cast<wchar_t*>(buffer),
                       reinterpret_cast<const wchar_t*>(format), ap);
    va_end(ap);
    return n;
}

bool IsSpaceClass(Char c)
{
    return iswspace(static_cast<wint_t>(c)) != 0;
}

int ShowMessageBox(const Char* text, const Char* caption)
{
    return MessageBoxW(GetForegroundWindow(), reinterpret_cast<const wchar_t*>(text),
                       reinterpret_cast<const wchar_t*>(caption), MB_OK);
}

}  // namespace platform
