// host_services.h - the three services that the module calls in the host,
// TakeCmd.dll, declared as the module uses them.  The formats are printf-like
// UTF-16 texts in which %s takes a UTF-16 string, %u an unsigned and %d a
// signed 32-bit integer.  Return values are ignored by the module.  The
// module's layers include this; it includes nothing of theirs.
#pragma once

#include "host_limits.h"

#if defined(_WIN32) && !defined(STANDIN_HOST_BUILD)
#define HOST_IMPORT __declspec(dllimport)
#else
#define HOST_IMPORT
#endif

extern "C" {

// Writes formatted text on the host's console output.
HOST_IMPORT int Printf(const char16_t* format, ...);

// Writes formatted text to handle (the module passes only the standard error
// handle).
HOST_IMPORT int Qprintf(void* handle, const char16_t* format, ...);

// Replaces every variable reference in buffer by its value, in place.  The
// host writes the whole expansion back, up to HOST_LINE_LIMIT, without
// knowing the buffer's size; the module passes 1 as the second argument and
// hands it buffers of EXPANSION_BUFFER_LEN characters.
HOST_IMPORT int ExpandVariables(char16_t* buffer, int flag);
}
