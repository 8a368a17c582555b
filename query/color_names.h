// color_names.h - the colour names of @CELLATTR: the one place they are
// stated.  The formatter's tables and ColorName are built from them
// (format.cpp), and the stand-in command processor's snapshots name cells
// with them too.
#pragma once

#include <cstddef>

// The eight base colours, indexed by the low three bits of a colour nibble
// (bit 0 blue, bit 1 green, bit 2 red); bit 3 puts the bright prefix in
// front.  A short name keeps the first SHORT_NAME_LEN letters of the base
// colour.
inline constexpr const char16_t* kBaseNames[8] = {
    u"Black", u"Blue", u"Green", u"Cyan", u"Red", u"Magenta", u"Yellow", u"White",
};
inline constexpr const char16_t* kBrightPrefix[2] = {u"Bright ", u"Bri "};  // long, short
inline constexpr size_t SHORT_NAME_LEN = 3;
