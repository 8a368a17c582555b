// format.cpp - the stand-in host's printf-style formatter.
#include "format.h"

#include <cstdint>

static void Pad(std::u16string& out, const std::u16string& body, size_t width, bool left,
                char16_t fill)
{
    size_t padding = body.size() < width ? width - body.size() : 0;
    if (!left && fill == u'0' && !body.empty() && body[0] == u'-') {
        out += u'-';
        out.append(padding, u'0');
        out.append(body, 1, std::u16string::npos);
        return;
    }
    if (!left)
        out.append(padding, fill);
    out += body;
    if (left)
        out.append(padding, u' ');
}

static std::u16string Digits(uint64_t value, unsigned base, bool upper)
{
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string s;
    do {
        s.insert(s.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return s;
}

void FormatAppend(std::u16string& out, const char16_t* format, va_list ap)
{
    for (const char16_t* p = format; *p != 0; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const char16_t* start = p++;
        bool left = false;
        char16_t fill = u' ';
        for (; *p == u'-' || *p == u'0'; ++p) {
            if (*p == u'-')
                left = true;
            else
                fill = u'0';
        }
        size_t width = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p)
            width = width * 10 + static_cast<size_t>(*p - u'0');
        if (*p == u'l')  // accepted and ignored: every integer is 32 bits
            ++p;
        std::u16string body;
        switch (*p) {
        case u'%':
            out += u'%';
            continue;
        case u's': {
            const char16_t* s = va_arg(ap, const char16_t*);
            body = s != nullptr ? s : u"(null)";
            fill = u' ';
            break;
        }
        case u'c':
            body = static_cast<char16_t>(va_arg(ap, int));
            break;
        case u'u':
            body = Digits(va_arg(ap, uint32_t), 10, false);
            break;
        case u'd': {
            int32_t v = va_arg(ap, int32_t);
            body = v < 0 ? u"-" + Digits(0ull - static_cast<int64_t>(v), 10, false)
                         : Digits(static_cast<uint64_t>(v), 10, false);
            break;
        }
        case u'x':
        case u'X':
            body = Digits(va_arg(ap, uint32_t), 16, *p == u'X');
            break;
        default:  // not a conversion we know: print it as it stands
            out.append(start, static_cast<size_t>(p - start) + (*p != 0 ? 1 : 0));
            if (*p == 0)
                return;
            continue;
        }
        Pad(out, body, width, left, fill);
    }
}

size_t FormatBounded(char16_t* buffer, size_t capacity, const char16_t* format, va_list ap)
{
    if (capacity == 0)
        return 0;
    std::u16string text;
    FormatAppend(text, format, ap);
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(buffer, n);
    buffer[n] = 0;
    return n;
}
