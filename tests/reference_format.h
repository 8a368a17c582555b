// reference_format.h - the cell formatter written plainly from its rules,
// one entry at a time and without tables: the yardstick that FormatCells must
// equal (tests/format_test.cpp) and is timed against (bench/).  Colour names
// come from ColorName, whose every name its own tests pin down.
#pragma once

#include "../query/cellattr.h"

// value in base 10 or 16 (upper case), at least minDigits digits.
inline size_t ReferenceDigits(Char* out, unsigned value, unsigned base, size_t minDigits)
{
    Char reversed[16];
    size_t n = 0;
    do {
        unsigned digit = value % base;
        reversed[n++] = static_cast<Char>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
        value /= base;
    } while (value != 0 || n < minDigits);
    for (size_t i = 0; i < n; ++i)
        out[i] = reversed[n - 1 - i];
    return n;
}

inline size_t ReferenceAppend(Char* out, const Char* text)
{
    size_t n = 0;
    for (; text[n] != 0; ++n)
        out[n] = text[n];
    return n;
}

// Formats count cells as flags ask into result (HOST_RESULT_CAPACITY
// characters), without the last separator; returns how many cells made it.
inline uint32_t ReferenceFormatCells(Char* result, const uint16_t* cells, uint32_t count,
                                     uint32_t flags)
{
    const unsigned code = flags & 7;
    const bool names = code >= 3 && code <= 6;
    const Char* separator = names ? u", " : u" ";
    const size_t sepLen = names ? 2 : 1;
    size_t len = 0;
    uint32_t placed = 0;
    bool endsWithSeparator = false;
    for (uint32_t i = 0; i < count; ++i) {
        unsigned value = cells[i];
        if (flags & 128)
            value &= 0x00FF;
        else if (flags & 256)
            value &= 0xFF00;

        Char entry[64];
        size_t n = 0;
        switch (code) {
        case 1:
            n = ReferenceDigits(entry, value, 16, 2);
            break;
        case 2:
            n = ReferenceAppend(entry, u"0x");
            n += ReferenceDigits(entry + n, value, 16, 2);
            break;
        case 3:
        case 4: {
            const Char* background = ColorName((value >> 4) & 15, code == 4);
            const Char* foreground = ColorName(value & 15, code == 4);
            n = ReferenceAppend(entry, foreground);
            n += ReferenceAppend(entry + n, u" on ");
            n += ReferenceAppend(entry + n, background);
            break;
        }
        case 5:
        case 6:
            n = ReferenceAppend(entry, ColorName(value & 15, code == 6));
            break;
        default:
            n = ReferenceDigits(entry, value, 10, 1);
            break;
        }
        entry[n] = 0;

        // The entry, its separator and the terminator must fit; failing
        // that, the entry may still end the result without its separator.
        bool whole = len + n + sepLen + 1 <= HOST_RESULT_CAPACITY;
        if (!whole && len + n + 1 > HOST_RESULT_CAPACITY)
            break;
        len += ReferenceAppend(result + len, entry);
        ++placed;
        if (!whole) {
            endsWithSeparator = false;
            break;
        }
        len += ReferenceAppend(result + len, separator);
        endsWithSeparator = true;
    }
    if (endsWithSeparator)
        len -= sepLen;
    result[len] = 0;
    return placed;
}
