// cellattr.cpp - @CELLATTR[row,col,len,flags]: validates the arguments,
// reads a run of attribute cells from the console screen buffer and returns
// them as decimal, hexadecimal or colour names in the host's buffer.
#include "cellattr.h"

#include "console.h"
#include "../host/host_services.h"
#include "../support/platform.h"

// The eight base colours, indexed by the low three bits of a colour nibble
// (bit 0 blue, bit 1 green, bit 2 red).  Each fits in 8 characters.
static constexpr const Char* ColorNames[8] = {
    u"Black", u"Blue", u"Green", u"Cyan", u"Red", u"Magenta", u"Yellow", u"White",
};

// Four rotating result slots for ColorName.  The counter is advanced before
// each write, so a name stays valid for four further calls; one entry never
// needs more than two.  The longest name, "Bright Magenta", needs 15.
static constexpr size_t NAME_SLOT_LEN = 16;
static Char nameSlots[4][NAME_SLOT_LEN];
static unsigned slotCounter = 0;

const Char* ColorName(unsigned nibble, bool shortForm)
{
    slotCounter = (slotCounter + 1) % 4;
    Char* slot = nameSlots[slotCounter];
    slot[0] = 0;
    bool bright = (nibble & 8) != 0;
    if (bright)
        TextCopy(slot, NAME_SLOT_LEN, shortForm ? u"Bri " : u"Bright ");
    TextAppend(slot, NAME_SLOT_LEN, ColorNames[nibble & 7]);
    if (shortForm)
        slot[bright ? 7 : 3] = 0;
    return slot;
}

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
// Formatting.

static constexpr size_t ENTRY_LEN = 40;  // longest entry: 34 characters

static size_t PutDecimal(Char* out, unsigned value)
{
    Char digits[10];
    size_t n = 0;
    do {
        digits[n++] = static_cast<Char>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

// Upper-case hexadecimal, at least two digits, as "%02X".
static size_t PutHex(Char* out, unsigned value)
{
    static constexpr Char kHex[] = u"0123456789ABCDEF";
    size_t n = value > 0xFFF ? 4 : value > 0xFF ? 3 : 2;
    for (size_t i = 0; i < n; ++i)
        out[i] = kHex[(value >> (4 * (n - 1 - i))) & 0xF];
    return n;
}

static size_t PutText(Char* out, const Char* text)
{
    size_t n = 0;
    while (text[n] != 0) {
        out[n] = text[n];
        ++n;
    }
    return n;
}

// The separator that ends every entry of a format: ", " after names, a
// blank after numbers.
static size_t SeparatorLength(unsigned code)
{
    return (code >= 3 && code <= 6) ? 2 : 1;
}

// One entry of format code (0..7) for a masked attribute, separator included.
static size_t MakeEntry(Char* entry, unsigned value, unsigned code)
{
    size_t n = 0;
    switch (code) {
    case 1:
        n = PutHex(entry, value);
        break;
    case 2:
        n = PutText(entry, u"0x");
        n += PutHex(entry + n, value);
        break;
    case 3:
    case 4: {
        bool shortForm = code == 4;
        const Char* background = ColorName((value >> 4) & 0xF, shortForm);
        const Char* foreground = ColorName(value & 0xF, shortForm);
        n = PutText(entry, foreground);
        n += PutText(entry + n, u" on ");
        n += PutText(entry + n, background);
        break;
    }
    case 5:
    case 6:
        n = PutText(entry, ColorName(value & 0xF, code == 6));
        break;
    default:  // 0 and 7
        n = PutDecimal(entry, value);
        break;
    }
    n += PutText(entry + n, SeparatorLength(code) == 2 ? u", " : u" ");
    return n;
}

static unsigned MaskAttribute(uint16_t cell, uint32_t flags)
{
    if (flags & 128)
        return cell & 0x00FFu;
    if (flags & 256)
        return cell & 0xFF00u;
    return cell;
}

// Writes the cells into result (HOST_RESULT_CAPACITY characters), separated,
// without the last separator.  The running length is kept, so this is linear
// in the number of cells; a result that would not fit ends at the last whole
// entry that does.
void FormatCells(Char* result, const uint16_t* cells, uint32_t count, uint32_t flags)
{
    unsigned code = flags & 7;
    size_t sep = SeparatorLength(code);
    size_t len = 0;
    size_t trailing = 0;  // separator characters at the end of result
    result[0] = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Char entry[ENTRY_LEN];
        size_t n = MakeEntry(entry, MaskAttribute(cells[i], flags), code);
        if (len + n >= HOST_RESULT_CAPACITY) {
            // No room for this entry with its separator: it may still fit as
            // the last entry, which has none.
            if (len + n - sep < HOST_RESULT_CAPACITY) {
                for (size_t k = 0; k < n - sep; ++k)
                    result[len + k] = entry[k];
                len += n - sep;
                trailing = 0;
            }
            break;
        }
        for (size_t k = 0; k < n; ++k)
            result[len + k] = entry[k];
        len += n;
        trailing = sep;
    }
    if (len > trailing)
        len -= trailing;
    result[len] = 0;
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
