// format.h - the stand-in host's printf: %s (UTF-16 string), %u, %d, %x, %X
// and %c with optional '0'/'-' flags and a width, and %%.  Identical on every
// target, so the stand-in prints the same text natively and under Wine.
#pragma once

#include <cstdarg>
#include <string>

void FormatAppend(std::u16string& out, const char16_t* format, va_list ap);

// Formats into a fixed buffer of capacity characters, always terminated.
// Returns the length written.
size_t FormatBounded(char16_t* buffer, size_t capacity, const char16_t* format, va_list ap);
