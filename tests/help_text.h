// help_text.h - the help text as the user must see it, written out
// independently of the module's own copy, on one line so that every blank,
// tab and line end is visible.
#pragma once

// clang-format off
inline constexpr const char16_t* kExpectedHelpText =
    u"@CELLATTR[row,col,len,flags] \r\n\nReads one or more character attribute cells.\n\nIf row or col begins with + or - it is relative to the cursor; \notherwise it\u2019s relative to the upper left of the visible window. \nThe row must be within the visible window.  Len may be 1 to 1024.\nFlags controls the output format:\n\n\t0:\tdecimal (the default)\n\t1:\thexadecimal\n\t2:\thexadecimal with leading 0x \n\nAdd 128 to return only the low bytes, or 256 to return only the\nhigh bytes.\n";
// clang-format on

inline constexpr const char16_t* kExpectedHelpCaption = u"CellAttr Plugin Help";
