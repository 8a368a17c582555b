// cellattr.h - the @CELLATTR[row,col,len,flags] variable function
// (cellattr.cpp), the number parser it reads its arguments with, and the
// cell formatter and colour names it writes its result with (format.cpp).
#pragma once

#include "../host/interface/host_limits.h"
#include "../support/plugin_support.h"

// The most cells one call reads.
inline constexpr uint32_t MAX_CELLS = 1024;

extern "C" int32_t PLUGIN_API f_cellattr(Char* text);

// Writes count cells, masked and formatted as flags ask, into result (which
// holds HOST_RESULT_CAPACITY characters), without the last separator.  A
// result that would not fit ends at the last whole entry that does.  What
// lies after the terminator, within the capacity, may be overwritten.
void FormatCells(Char* result, const uint16_t* cells, uint32_t count, uint32_t flags);

// Parses a whole argument as an unsigned decimal or 0x-prefixed hexadecimal
// number.  Returns 0 and sets *out, or -1 leaving *out untouched.
[[nodiscard]] int32_t ParseUnsigned(const Char* text, uint32_t* out);

// The long ("Bright Magenta") or short ("Bri Mag") name of a 4-bit colour, in
// one of four rotating slots: valid until four further calls.
const Char* ColorName(unsigned nibble, bool shortForm);
