// cellattr.cpp - @CELLATTR[row,col,len,flags]: validates the arguments,
// reads a run of attribute cells from the console screen buffer and returns
// them as decimal, hexadecimal or colour names in the host's buffer (the
// formatting is in format.cpp).
#include "cellattr.h"

#include "console.h"
#include "../host/interface/host_services.h"
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

// A console call that failed, with `code` from LastError right after it:
// the system's text for it is made before anything is written, and follows
// the message on a line of its own.
static int32_t FailConsoleCall(const Char* message, uint32_t code)
{
    Char errorText[SYSTEM_ERROR_TEXT_LEN];
    SystemErrorText(code, errorText);
    Fail(message);
    if (errorText[0] != 0)
        Qprintf(platform::StdErrorHandle(), u"    %s\r\n", errorText);
    return -1;
}

// ---------------------------------------------------------------------------
// Arguments.

static bool ArgPresent(int i)
{
    return ArgList.argLen[i] != 0;
}

// Row or column, as its argument gives it: kept in 64 bits so that adding
// the origin can never overflow.
struct Position {
    int64_t value;
    bool relative;  // to the cursor
};

// A signed decimal offset from the cursor when text starts with + or -,
// otherwise an unsigned number.  Returns 0, or -1 when text does not convert.
[[nodiscard]] static int32_t ParsePosition(const Char* text, Position* position)
{
    position->relative = text[0] == u'+' || text[0] == u'-';
    if (position->relative) {
        int32_t offset;
        if (ParseSignedDecimal(text, &offset) != 0)
            return -1;
        position->value = offset;
    } else {
        uint32_t absolute;
        if (ParseUnsigned(text, &absolute) != 0)
            return -1;
        position->value = absolute;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The console, once open: everything up to and with the read.  Returns 0 with
// the cells read, or -1 once the message is written; either way the caller
// then closes the handle.

[[nodiscard]] static int32_t ReadCells(console::Handle handle, Position row, Position column,
                                       uint32_t length, uint16_t* cells, uint32_t* read)
{
    console::ScreenInfo info;
    if (!console::GetScreenInfo(handle, &info))
        return FailConsoleCall(u"Error getting console screen buffer info:\r\n",
                               console::LastError());

    // Rows count from the window's top (or the cursor) and must lie inside
    // the window; columns count from the buffer's left edge (or the cursor)
    // and must lie inside the buffer's width.
    int64_t y = row.value + (row.relative ? info.cursor.y : info.top);
    if (y < info.top || y > info.bottom)
        return Fail(u"Row out of range\r\n");
    int64_t x = column.value + (column.relative ? info.cursor.x : 0);
    if (x < 0 || x >= info.size.x)
        return Fail(u"Column out of range\r\n");

    console::Coord at{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    if (!console::ReadAttributes(handle, cells, length, at, read))
        return FailConsoleCall(u"Error reading console attributes:\r\n", console::LastError());
    return 0;
}

// ---------------------------------------------------------------------------

extern "C" int32_t PLUGIN_API f_cellattr(Char* text)
{
    if (text == nullptr)
        return 1;  // not -1: callers may rely on telling it from a failure

    uint32_t length = 1;
    uint32_t flags = 0;

    if (TokenizeArgs(text) < 0)
        return -1;  // the tokenizer has reported the overflow
    const Char* const* arg = ArgList.argText;

    Position row, column;
    if (!ArgPresent(0))
        return Fail(u"Missing row value\r\n");
    if (ParsePosition(arg[0], &row) != 0)
        return Fail(u"Bad row value: \"%s\"\r\n", arg[0]);
    if (!ArgPresent(1))
        return Fail(u"Missing column value\r\n");
    if (ParsePosition(arg[1], &column) != 0)
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
        return FailConsoleCall(u"Error opening console handle:\r\n", console::LastError());
    uint16_t cells[MAX_CELLS];
    uint32_t read = 0;
    int32_t rc = ReadCells(handle, row, column, length, cells, &read);
    console::Close(handle);  // the one place, after any message
    if (rc != 0)
        return rc;

    if (read > length)  // never trust a count beyond what was asked
        read = length;
    FormatCells(text, cells, read, flags);
    return 0;
}
