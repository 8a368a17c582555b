// platform_native.cpp - the platform services of support/platform.h for the
// native build: the stand-in's handles, a small table of system messages for
// the error codes the module can meet, the stand-in formatter for wsprintfW,
// our own space table and a recorded message box.
#include "../../support/platform.h"

#include "../takecmd/format.h"
#include "../takecmd/standin_host.h"

#include <cstdarg>

namespace platform {

Handle StdErrorHandle()
{
    return standin::StdError();
}

// The texts end in a blank, as the system's own do, so that callers must trim.
struct SystemMessageEntry {
    uint32_t code;
    const Char* text;
};
static constexpr SystemMessageEntry kSystemMessages[] = {
    {2, u"File not found. "},
    {5, u"Access denied. "},
    {6, u"Invalid handle. "},
    {87, u"Invalid parameter. "},
    {1400, u"Invalid window handle. "},
    {0x20000020, u" \t\r\n"},  // white space alone, which trimming leaves empty
};

uint32_t SystemMessage(uint32_t code, Char* buffer, uint32_t capacity)
{
    for (const SystemMessageEntry& entry : kSystemMessages) {
        if (entry.code != code)
            continue;
        if (TextLength(entry.text) + 1 > capacity)
            return 0;  // as the system: a text that does not fit is no text
        return static_cast<uint32_t>(TextCopy(buffer, capacity, entry.text));
    }
    return 0;
}

int FormatText(Char* buffer, const Char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    size_t n = FormatBounded(buffer, 1024, format, ap);
    va_end(ap);
    return static_cast<int>(n);
}

bool IsSpaceClass(Char c)
{
    return IsSpaceTable(c);
}

int ShowMessageBox(const Char* text, const Char* caption)
{
    standin::MessageBoxRecord& record = standin::MessageBoxes();
    record.text = text;
    record.caption = caption;
    ++record.shown;
    return 1;  // IDOK
}

}  // namespace platform
