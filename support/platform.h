// platform.h - the few system services that the support code needs besides
// the host: the standard error handle, system message text, a printf into a
// fixed buffer and the platform's space classification.  The Windows build
// implements these with the real calls (platform_win.cpp); the native build
// gets them from the stand-ins.
#pragma once

#include "plugin_support.h"

namespace platform {

using Handle = void*;

// Standard error as it is at the call: asked anew for every message, since
// the host may redirect it between calls.
[[nodiscard]] Handle StdErrorHandle();

// FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
// FORMAT_MESSAGE_MAX_WIDTH_MASK, ...) into buffer; returns the characters
// written, 0 when the system has no text for code or it does not fit.
[[nodiscard]] uint32_t SystemMessage(uint32_t code, Char* buffer, uint32_t capacity);

// wsprintfW: formats into buffer, which must hold 1024 characters (the most
// that wsprintfW ever writes).  Returns the length written.
int FormatText(Char* buffer, const Char* format, ...);

// The platform's own space classification, for characters from U+0100 on.
[[nodiscard]] bool IsSpaceClass(Char c);

// The help box.  The host lends the module no window, so the box belongs to
// whatever window is in front, if any.
int ShowMessageBox(const Char* text, const Char* caption);

}  // namespace platform
