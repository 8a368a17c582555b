// standin_host.h - control of the stand-in host (our TakeCmd.dll for tests
// and the demo): its variable table and, natively, what was written to each
// handle.  The host services themselves are declared in
// host/interface/host_services.h.
#pragma once

#include "../../host/interface/host_limits.h"

#include <cstddef>

#ifdef _WIN32
#ifdef STANDIN_HOST_BUILD
#define STANDIN_API __declspec(dllexport)
#else
#define STANDIN_API __declspec(dllimport)
#endif
#else
#define STANDIN_API
#endif

extern "C" {

// Sets a variable (names ignore case); a null value removes it.  A reference
// to a variable that is not set expands to nothing.
STANDIN_API void StandinSetVariable(const char16_t* name, const char16_t* value);

// Copies a variable's value into out (capacity characters, terminated).
// Returns 1 when the variable is set, 0 when it is not (out is then empty).
STANDIN_API int StandinGetVariable(const char16_t* name, char16_t* out, size_t capacity);

// Forgets every variable, then sets the defaults of a host that runs no batch
// file, interactively: _batch, _transient and _pipe are "0".
STANDIN_API void StandinResetVariables();

// Expands %name and %[name] references in place, "%%" to "%", leaving a "%"
// not followed by a name as it is, "%@" too (see expand.h).  The result is
// cut to capacity characters with the terminator.  ExpandVariables does the same with the line limit
// (HOST_LINE_LIMIT + 1 with the terminator), whatever the size of the
// caller's buffer, as a real host writes the whole expansion back.
STANDIN_API void StandinExpand(char16_t* buffer, size_t capacity);
}

#ifndef _WIN32
#include <string>

namespace standin {

// The handles that the native build hands out for standard output and error.
void* StdOutput();
void* StdError();

// Returns what has been written to handle since the last call, and forgets it.
std::u16string TakeOutput(void* handle);

// The native message box: what the last one showed, and how many were shown.
struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    int shown = 0;
};
MessageBoxRecord& MessageBoxes();

}  // namespace standin
#endif
