// text.cpp - bounded UTF-16 text helpers, white space and wide number
// conversion, shared by the whole module and identical on every target.
#include "platform.h"

#include <iterator>

size_t TextLength(const Char* text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

// Copies as much of src as fits, always leaving dest terminated.  Returns the
// length of the text now in dest.
size_t TextCopy(Char* dest, size_t capacity, const Char* src)
{
    if (capacity == 0)
        return 0;
    size_t n = 0;
    while (n + 1 < capacity && src[n] != 0) {
        dest[n] = src[n];
        ++n;
    }
    dest[n] = 0;
    return n;
}

bool TextEqual(const Char* a, const Char* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// ---------------------------------------------------------------------------
// White space.

// The space separators and line/paragraph separators of Unicode from U+0100
// on; exactly the set that Wine's GetStringTypeW marks C1_SPACE (the Windows
// tests check this over the whole range U+0000..U+FFFF).
static constexpr Char kSpacesFrom0100[] = {
    0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007,
    0x2008, 0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000,
};

// Below U+0100 the set is fixed, whatever the platform's classification says
// (U+0085 in particular is not space).
static bool IsSpaceBelow0100(Char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0;
}

bool IsSpaceTable(Char c)
{
    if (c < 0x100)
        return IsSpaceBelow0100(c);
    for (Char s : kSpacesFrom0100)
        if (s == c)
            return true;
    return false;
}

bool IsWhiteSpace(Char c)
{
    if (c < 0x100)
        return IsSpaceBelow0100(c);
    if (c == 0xFFFF)
        return false;
    return platform::IsSpaceClass(c);
}

// ---------------------------------------------------------------------------
// Digits and conversion.

// The zero of every run of ten Unicode decimal digits (category Nd) in the
// basic multilingual plane, ascending.  One table on every target, so that
// "1" followed by a full-width "2" is 12 everywhere.
static constexpr Char kDigitZeros[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
    0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
    0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
    0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

static int DecimalValue(Char c)
{
    // Last zero at or below c; the runs do not overlap.
    int lo = 0, hi = static_cast<int>(std::size(kDigitZeros)) - 1, found = -1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (kDigitZeros[mid] <= c) {
            found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (found < 0 || c - kDigitZeros[found] > 9)
        return -1;
    return c - kDigitZeros[found];
}

int DigitValue(Char c, int base)
{
    int v = DecimalValue(c);
    if (v >= 0)
        return v < base ? v : -1;  // GCOVR_EXCL_BR_LINE: the bases in use, 10 and 16, exceed 9
    if (base == 16) {
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
    }
    return -1;
}

// The shared body of both conversions: the magnitude in 64 bits (saturated
// once past any 32-bit range), the sign, and where the conversion stopped.
static uint64_t ConvertMagnitude(const Char* text, int base, const Char** end, bool* negative)
{
    const Char* p = text;
    while (IsWhiteSpace(*p))
        ++p;
    *negative = false;
    if (*p == u'+' || *p == u'-') {
        *negative = *p == u'-';
        ++p;
    }
    if (base == 16 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2], 16) >= 0)
        p += 2;
    const Char* digits = p;
    uint64_t value = 0;
    for (int d; (d = DigitValue(*p, base)) >= 0; ++p) {
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0x1FFFFFFFFull)
            value = 0x1FFFFFFFFull;  // past every 32-bit range; keeps the product small
    }
    *end = p == digits ? text : p;
    return value;
}

uint32_t ConvertUnsigned(const Char* text, int base, const Char** end, bool* rangeError)
{
    bool negative;
    uint64_t value = ConvertMagnitude(text, base, end, &negative);
    *rangeError = value > 0xFFFFFFFFull;
    if (*rangeError)
        return 0xFFFFFFFFu;
    // As wcstoul: a minus sign negates in unsigned arithmetic.
    return negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

int32_t ConvertSigned(const Char* text, int base, const Char** end, bool* rangeError)
{
    bool negative;
    uint64_t value = ConvertMagnitude(text, base, end, &negative);
    uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    *rangeError = value > limit;
    if (*rangeError)
        return negative ? INT32_MIN : INT32_MAX;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
}
