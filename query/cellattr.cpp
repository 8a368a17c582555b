// cellattr.cpp - @CELLATTR[row,col,len,flags]: validates the arguments,
// reads a run of attribute cells from the console screen buffer and returns
// them as decimal, hexadecimal or colour names in the host's buffer (the
// formatting is in format.cpp).
#include "cellattr.h"

#include "console.h"
#include "../host/host_services.h"
#include "../support/platform.h"

int32_t ParseUnsigned(const Char* text, uint32_t* out)
{
    if (out == nullptr || text == nullptr)
        return -1;
    const Char* digits;
    int base;
    if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && DigitValue(text[2], 16) >= 0) {
        digits = text + 2;
        base = 16;
    } else if (DigitValue(text[0], 10) >= 0) {
        digits = text;
        base = 10;
    } else {
        return -1;  // a sign, a blank, a letter
    }
    const Char* end;
    bool rangeError;
    uint32_t value = ConvertUnsigned(digits, base, &end, &rangeError);
    if (rangeError || *end != 0)
        return -1;
    *out = value;
    return 0;
}

// A leading + or - makes a decimal offset from the cursor.  Returns 0, or -1
// leaving *out untouched, as ParseUnsigned does.
[[nodiscard]] static int32_t ParseSignedDecimal(const Char* text, int32_t* out)
{
    const Char* end;
    bool rangeError;
    int32_t value = ConvertSigned(text, 10, &end, &rangeError);
    if (rangeError || end == text || *end != 0)
        return -1;
    *out = value;
    return 0;
}

// ---------------------------------------------------------------------------
// Failures.  Each is written the same way, the prefix and then the message,
// a format with its values (an argument's text for %s), and returns -1.

template <typename... Values>
static int32_t Fail(const Char* format, Values... values)
{
    PrintErrorPrefix();
    Qprintf(platform::StdErrorHandle(), format, values...);
    return -1;
}

// A failure once the console is open: reported, then the handle closed.
static int32_t FailOpen(console::Handle handle, const Char* message)
{
    Fail(message);
    console::Close(handle);
    return -1;
}

// A console call that failed, with `code` from LastError right after it:
// the system's text for it is made before anything is written, and follows
// the message on a line of its own; then the handle, when there is one,
// is closed.
static int32_t FailConsoleCall(const Char* message, uint32_t code, const console::Handle* opened)
{
    Char errorText[SYSTEM_ERROR_TEXT_LEN];
    SystemErrorText(code, errorText);
    Fail(message);
    if (errorText[0] != 0)
        Qprintf(platform::StdErrorHandle(), u"    %s\r\n", errorText);
    if (opened != nullptr)
        console::Close(*opened);
    return -1;
}

// ---------------------------------------------------------------------------
// Arguments.

static bool ArgPresent(int i)
{
    return ArgList.argLen[i] != 0;
}

// Row or column: a signed decimal offset from the cursor when it starts with
// + or -, otherwise an unsigned number.  Kept in 64 bits so that adding the
// origin can never overflow.  Returns 0, or -1 when text does not convert.
[[nodiscard]] static int32_t ParsePosition(const Char* text, int64_t* value, bool* relative)
{
    *relative = text[0] == u'+' || text[0] == u'-';
    if (*relative) {
        int32_t offset;
        if (ParseSignedDecimal(text, &offset) != 0)
            return -1;
        *value = offset;
    } else {
        uint32_t absolute;
        if (ParseUnsigned(text, &absolute) != 0)
            return -1;
        *value = absolute;
    }
    return 0;
}

// ---------------------------------------------------------------------------

extern "C" int32_t PLUGIN_API f_cellattr(Char* text)
{
    if (text == nullptr)
        return 1;

    uint32_t length = 1;
    uint32_t flags = 0;

    if (TokenizeArgs(text) < 0)
        return -1;  // the tokenizer has reported the overflow
    const Char* const* arg = ArgList.argText;

    int64_t row, column;
    bool rowRelative, columnRelative;
    if (!ArgPresent(0))
        return Fail(u"Missing row value\r\n");
    if (ParsePosition(arg[0], &row, &rowRelative) != 0)
        return Fail(u"Bad row value: \"%s\"\r\n", arg[0]);
    if (!ArgPresent(1))
        return Fail(u"Missing column value\r\n");
    if (ParsePosition(arg[1], &column, &columnRelative) != 0)
        return Fail(u"Bad column value: \"%s\"\r\n", arg[1]);
    if (ArgPresent(2)) {
        if (ParseUnsigned(arg[2], &length) != 0)
            return Fail(u"Bad length value: \"%s\"\r\n", arg[2]);
        if (length == 0 || length > MAX_CELLS)
            return Fail(u"Length must be 1 to %u: %u\r\n", MAX_CELLS, length);
    }
    if (ArgPresent(3) && ParseUnsigned(arg[3], &flags) != 0)
        return Fail(u"Bad flags value: \"%s\"\r\n", arg[3]);

    console::Handle handle;
    if (!console::OpenOutput(&handle))
        return FailConsoleCall(u"Error opening console handle:\r\n", console::LastError(), nullptr);
    console::ScreenInfo info;
    if (!console::GetScreenInfo(handle, &info))
        return FailConsoleCall(u"Error getting console screen buffer info:\r\n",
                               console::LastError(), &handle);

    // Rows count from the window's top (or the cursor) and must lie inside
    // the window; columns count from the buffer's left edge (or the cursor)
    // and must lie inside the buffer's width.
    row += rowRelative ? info.cursor.y : info.top;
    if (row < info.top || row > info.bottom)
        return FailOpen(handle, u"Row out of range\r\n");
    if (columnRelative)
        column += info.cursor.x;
    if (column < 0 || column >= info.size.x)
        return FailOpen(handle, u"Column out of range\r\n");

    uint16_t cells[MAX_CELLS];
    uint32_t read = 0;
    console::Coord at{static_cast<int16_t>(column), static_cast<int16_t>(row)};
    if (!console::ReadAttributes(handle, cells, length, at, &read))
        return FailConsoleCall(u"Error reading console attributes:\r\n", console::LastError(),
                               &handle);
    console::Close(handle);

    if (read > length)  // never trust a count beyond what was asked
        read = length;
    FormatCells(text, cells, read, flags);
    return 0;
}
