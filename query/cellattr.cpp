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

// A leading + or - makes a decimal offset from the cursor.
static bool ParseSignedDecimal(const Char* text, int32_t* out)
{
    const Char* end;
    bool rangeError;
    int32_t value = ConvertSigned(text, 10, &end, &rangeError);
    if (rangeError || end == text || *end != 0)
        return false;
    *out = value;
    return true;
}

// ---------------------------------------------------------------------------
// Failure reports: the prefix, then the message, on standard error.

static int32_t Fail(const Char* message)
{
    PrintErrorPrefix();
    Qprintf(platform::StdErrorHandle(), message);
    return -1;
}

static int32_t FailQuoting(const Char* format, int arg)
{
    PrintErrorPrefix();
    Qprintf(platform::StdErrorHandle(), format, ArgList.argText[arg]);
    return -1;
}

// A failure once the console is involved: the message, the system's text on
// a second line when there is one, then the handle closed if it was opened.
static int32_t FailConsole(const Char* message, const Char* errorText, console::Handle handle,
                           bool opened)
{
    PrintErrorPrefix();
    platform::Handle err = platform::StdErrorHandle();
    Qprintf(err, message);
    if (errorText[0] != 0)
        Qprintf(err, u"    %s\r\n", errorText);
    if (opened)
        console::Close(handle);
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
// origin can never overflow.
static bool ParsePosition(int i, int64_t* value, bool* relative)
{
    const Char* text = ArgList.argText[i];
    *relative = text[0] == u'+' || text[0] == u'-';
    if (*relative) {
        int32_t offset;
        if (!ParseSignedDecimal(text, &offset))
            return false;
        *value = offset;
    } else {
        uint32_t absolute;
        if (ParseUnsigned(text, &absolute) != 0)
            return false;
        *value = absolute;
    }
    return true;
}

// ---------------------------------------------------------------------------

extern "C" int32_t PLUGIN_API f_cellattr(Char* text)
{
    if (text == nullptr)
        return 1;

    Char errorText[SYSTEM_ERROR_TEXT_LEN];
    errorText[0] = 0;
    uint32_t length = 1;
    uint32_t flags = 0;

    if (TokenizeArgs(text) < 0)
        return -1;  // the tokenizer has reported the overflow

    int64_t row, column;
    bool rowRelative, columnRelative;
    if (!ArgPresent(0))
        return Fail(u"Missing row value\r\n");
    if (!ParsePosition(0, &row, &rowRelative))
        return FailQuoting(u"Bad row value: \"%s\"\r\n", 0);
    if (!ArgPresent(1))
        return Fail(u"Missing column value\r\n");
    if (!ParsePosition(1, &column, &columnRelative))
        return FailQuoting(u"Bad column value: \"%s\"\r\n", 1);
    if (ArgPresent(2)) {
        if (ParseUnsigned(ArgList.argText[2], &length) != 0)
            return FailQuoting(u"Bad length value: \"%s\"\r\n", 2);
        if (length == 0 || length > MAX_CELLS) {
            PrintErrorPrefix();
            Qprintf(platform::StdErrorHandle(), u"Length must be 1 to %u: %u\r\n", MAX_CELLS,
                    length);
            return -1;
        }
    }
    if (ArgPresent(3) && ParseUnsigned(ArgList.argText[3], &flags) != 0)
        return FailQuoting(u"Bad flags value: \"%s\"\r\n", 3);

    console::Handle handle;
    if (!console::OpenOutput(&handle)) {
        SystemErrorText(console::LastError(), errorText);
        return FailConsole(u"Error opening console handle:\r\n", errorText, handle, false);
    }
    console::ScreenInfo info;
    if (!console::GetScreenInfo(handle, &info)) {
        SystemErrorText(console::LastError(), errorText);
        return FailConsole(u"Error getting console screen buffer info:\r\n", errorText, handle,
                           true);
    }

    // Rows count from the window's top (or the cursor) and must lie inside
    // the window; columns count from the buffer's left edge (or the cursor)
    // and must lie inside the buffer's width.
    row += rowRelative ? info.cursor.y : info.top;
    if (row < info.top || row > info.bottom)
        return FailConsole(u"Row out of range\r\n", errorText, handle, true);
    if (columnRelative)
        column += info.cursor.x;
    if (column < 0 || column >= info.size.x)
        return FailConsole(u"Column out of range\r\n", errorText, handle, true);

    uint16_t cells[MAX_CELLS];
    uint32_t read = 0;
    console::Coord at{static_cast<int16_t>(column), static_cast<int16_t>(row)};
    if (!console::ReadAttributes(handle, cells, length, at, &read)) {
        SystemErrorText(console::LastError(), errorText);
        return FailConsole(u"Error reading console attributes:\r\n", errorText, handle, true);
    }
    console::Close(handle);

    if (read > length)  // never trust a count beyond what was asked
        read = length;
    FormatCells(text, cells, read, flags);
    return 0;
}
