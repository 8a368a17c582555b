// cellattr_fuzz.cpp - @CELLATTR on the simulated console, with the console's
// geometry, its cells, an injected failure and the argument text all taken
// from the input.  Layout (short inputs read as zeros from where they end):
//
//   byte  0      buffer width - 1            (1..256 columns)
//   byte  1      buffer height - 1, modulo 64 (1..64 rows: painting a larger
//                screen costs more than it finds)
//   byte  2      bit 0: wild window and cursor (raw 16-bit values, which may
//                lie outside the buffer); bits 1-2: the call that fails
//                (0 none, 1 open, 2 info, 3 read); bit 3: inside a batch file
//   bytes 3-10   window left, top, right, bottom (16 bits each)
//   bytes 11-14  cursor column, row (16 bits each)
//   bytes 15-18  the failure's error code
//   byte  19     pattern length P (0..255; 0 leaves every cell 0x07)
//   next 2P      the pattern, tiled over the whole buffer
//   the rest     the argument text, UTF-16LE, two bytes to a character
//
// Checks: the handle is closed; the result is terminated within the host's
// buffer; -1 leaves the buffer as it was and writes a message, 0 writes none;
// and a call that should succeed does, with the cells that are at the asked
// position: as many entries as the console returned, or fewer only where the
// next one would not have fitted the buffer.
#include "../query/cellattr.h"
#include "../query/console.h"
#include "../standin/platform/sim_console.h"
#include "../standin/takecmd/standin_host.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace {

using simconsole::Op;

// Reads the layout above from the front of the input.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word()
    {
        uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t Long()
    {
        uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    size_t Left() const { return size_ - std::min(at_, size_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Screen {
    int width = 0;
    int height = 0;
    console::ScreenInfo info{};
    std::vector<uint16_t> cells;  // what the simulated console holds, row by row
};

// A value inside 0..limit-1, or the raw value in wild mode.
int16_t Place(uint16_t raw, int limit, bool wild)
{
    return wild ? static_cast<int16_t>(raw) : static_cast<int16_t>(raw % limit);
}

Screen SetUpConsole(Reader& in, int width, int height, bool wild)
{
    Screen s;
    s.width = width;
    s.height = height;
    simconsole::Reset(static_cast<int16_t>(s.width), static_cast<int16_t>(s.height));

    uint16_t l = in.Word(), t = in.Word(), r = in.Word(), b = in.Word();
    uint16_t cx = in.Word(), cy = in.Word();
    console::ScreenInfo& info = s.info;
    info.size = {static_cast<int16_t>(width), static_cast<int16_t>(height)};
    info.left = Place(l, width, wild);
    info.top = Place(t, height, wild);
    // A sane window lies inside the buffer, right of left and below top.
    info.right = wild ? static_cast<int16_t>(r)
                      : static_cast<int16_t>(info.left + r % (width - info.left));
    info.bottom = wild ? static_cast<int16_t>(b)
                       : static_cast<int16_t>(info.top + b % (height - info.top));
    info.cursor = {Place(cx, width, wild), Place(cy, height, wild)};
    simconsole::SetWindow(info.left, info.top, info.right, info.bottom);
    simconsole::SetCursor(info.cursor.x, info.cursor.y);
    return s;
}

void PaintCells(Reader& in, Screen& s)
{
    s.cells.assign(static_cast<size_t>(s.width) * static_cast<size_t>(s.height), 0x07);
    std::vector<uint16_t> pattern(in.Byte());
    for (uint16_t& cell : pattern)
        cell = in.Word();
    if (pattern.empty())
        return;
    for (size_t k = 0; k < s.cells.size(); ++k) {
        s.cells[k] = pattern[k % pattern.size()];
        simconsole::SetCell(static_cast<int16_t>(k % s.width), static_cast<int16_t>(k / s.width),
                            s.cells[k]);
    }
}

// ---------------------------------------------------------------------------
// What the call should do, from the arguments as the tokenizer leaves them,
// read with the module's own number conversions.

bool Position(int i, int64_t* value, bool* relative)
{
    if (ArgList.argLen[i] == 0)
        return false;
    const Char* text = ArgList.argText[i];
    *relative = text[0] == u'+' || text[0] == u'-';
    if (*relative) {
        const Char* end;
        bool rangeError;
        int32_t v = ConvertSigned(text, 10, &end, &rangeError);
        if (rangeError || end == text || *end != 0)
            return false;
        *value = v;
        return true;
    }
    uint32_t v;
    if (ParseUnsigned(text, &v) != 0)
        return false;
    *value = v;
    return true;
}

struct Request {
    int64_t row = 0;
    int64_t column = 0;
    bool rowRelative = false;
    bool columnRelative = false;
    uint32_t length = 1;
    uint32_t flags = 0;
};

bool ValidArguments(Request* q)
{
    if (!Position(0, &q->row, &q->rowRelative) || !Position(1, &q->column, &q->columnRelative))
        return false;
    if (ArgList.argLen[2] != 0 &&
        (ParseUnsigned(ArgList.argText[2], &q->length) != 0 || q->length == 0 ||
         q->length > MAX_CELLS))
        return false;
    if (ArgList.argLen[3] != 0 && ParseUnsigned(ArgList.argText[3], &q->flags) != 0)
        return false;
    return true;
}

size_t CountEntries(const std::u16string& text, unsigned code)
{
    const std::u16string sep = (code >= 3 && code <= 6) ? u", " : u" ";
    size_t n = text.empty() ? 0 : 1;
    for (size_t at = text.find(sep); at != std::u16string::npos; at = text.find(sep, at + 1))
        ++n;
    return n;
}

std::u16string Format(const uint16_t* cells, uint32_t count, uint32_t flags)
{
    static std::vector<Char> out(HOST_RESULT_CAPACITY);
    FormatCells(out.data(), cells, count, flags);
    return out.data();
}

// A call that must succeed: the result is the asked cells, formatted.
void CheckResult(const Screen& s, const Request& q, int64_t row, int64_t column,
                 const std::u16string& result)
{
    size_t start = static_cast<size_t>(row) * s.width + static_cast<size_t>(column);
    size_t available = s.cells.size() - start;
    auto returned = static_cast<uint32_t>(std::min<size_t>(q.length, available));
    FUZZ_CHECK(returned >= 1);

    FUZZ_CHECK(result == Format(&s.cells[start], returned, q.flags));

    // The count, apart from the formatter's own capacity arithmetic: every
    // cell returned is there, unless the next entry (with the separator
    // before it and the terminator after) would have overflowed the buffer.
    unsigned code = q.flags & 7;
    size_t entries = CountEntries(result, code);
    FUZZ_CHECK(entries >= 1 && entries <= returned);
    if (entries < returned) {
        size_t sep = (code >= 3 && code <= 6) ? 2 : 1;
        size_t next = Format(&s.cells[start + entries], 1, q.flags).size();
        FUZZ_CHECK(result.size() + sep + next + 1 > HOST_RESULT_CAPACITY);
    }
}

std::vector<Char>& HostBuffer()
{
    static std::vector<Char> buffer(HOST_RESULT_CAPACITY);
    return buffer;
}

const std::u16string kBatchPrefix = u"CellAttr plugin: C:\\fuzz\\a%b.btm [7]  ";

// The beginnings of the messages for arguments that are missing or wrong.
const char16_t* const kArgumentMessages[] = {
    u"Missing row value\r\n",   u"Missing column value\r\n",
    u"Bad row value: \"",       u"Bad column value: \"",
    u"Bad length value: \"",    u"Length must be 1 to 1024: ",
    u"Bad flags value: \"",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    int width = in.Byte() + 1;
    int height = in.Byte() % 64 + 1;
    uint8_t mode = in.Byte();
    const bool wild = (mode & 1) != 0;
    const int failing = (mode >> 1) & 3;  // 0 none, 1 open, 2 info, 3 read
    const bool batch = (mode & 8) != 0;

    Screen screen = SetUpConsole(in, width, height, wild);
    uint32_t code = in.Long();
    if (failing != 0)
        simconsole::FailNext(static_cast<Op>(failing - 1), code);
    PaintCells(in, screen);

    StandinResetVariables();
    if (batch) {
        StandinSetVariable(u"_batch", u"1");
        StandinSetVariable(u"_batchname", u"C:\\fuzz\\a%b.btm");
        StandinSetVariable(u"_batchline", u"7");
    }

    // The host's buffer holds the argument text, then zeros.
    std::vector<Char>& buffer = HostBuffer();
    std::fill(buffer.begin(), buffer.end(), 0);
    std::u16string raw;  // everything the input puts in the buffer, zeros included
    while (in.Left() >= 2 && raw.size() < HOST_RESULT_CAPACITY - 1)
        raw.push_back(in.Word());
    std::copy(raw.begin(), raw.end(), buffer.begin());
    const std::u16string args = buffer.data();  // up to the first zero: what the function reads

    standin::TakeOutput(standin::StdError());
    int32_t rc = f_cellattr(buffer.data());
    std::u16string message = standin::TakeOutput(standin::StdError());

    FUZZ_CHECK(simconsole::OpenHandles() == 0);
    FUZZ_CHECK(rc == 0 || rc == -1);
    FUZZ_CHECK(std::find(buffer.begin(), buffer.end(), Char{0}) != buffer.end());
    if (rc == -1) {
        FUZZ_CHECK(std::equal(raw.begin(), raw.end(), buffer.begin()));
        FUZZ_CHECK(std::all_of(buffer.begin() + static_cast<ptrdiff_t>(raw.size()), buffer.end(),
                               [](Char c) { return c == 0; }));
        const std::u16string prefix = batch ? kBatchPrefix : u"CellAttr plugin: ";
        FUZZ_CHECK(message.size() > prefix.size() + 2);
        FUZZ_CHECK(message.compare(0, prefix.size(), prefix) == 0);
        FUZZ_CHECK(message.compare(message.size() - 2, 2, u"\r\n") == 0);
    } else {
        FUZZ_CHECK(message.empty());
    }

    // What should have happened.  The tokenizer runs again on the same text
    // to leave ArgList as the function saw it.
    if (TokenizeArgs(args.c_str()) < 0) {
        standin::TakeOutput(standin::StdError());
        FUZZ_CHECK(rc == -1);
        FUZZ_CHECK(message.find(u"Buffer overflow: ") != std::u16string::npos);
        return 0;
    }
    Request q;
    if (!ValidArguments(&q)) {
        FUZZ_CHECK(rc == -1);
        FUZZ_CHECK(std::any_of(std::begin(kArgumentMessages), std::end(kArgumentMessages),
                               [&](const char16_t* m) {
                                   return message.find(m) != std::u16string::npos;
                               }));
        FUZZ_CHECK(simconsole::Calls(Op::Open) == 0);  // nothing opened for a bad argument
        return 0;
    }
    // A console failure or a position outside the window: -1, with the
    // first line of the message that names it.
    const console::ScreenInfo& info = screen.info;
    int64_t row = q.row + (q.rowRelative ? info.cursor.y : info.top);
    int64_t column = q.column + (q.columnRelative ? info.cursor.x : 0);
    const char16_t* expectedFailure = nullptr;
    if (failing == 1)
        expectedFailure = u"Error opening console handle:\r\n";
    else if (failing == 2)
        expectedFailure = u"Error getting console screen buffer info:\r\n";
    else if (row < info.top || row > info.bottom)
        expectedFailure = u"Row out of range\r\n";
    else if (column < 0 || column >= info.size.x)
        expectedFailure = u"Column out of range\r\n";
    else if (failing == 3 || row < 0 || row >= screen.height)  // the console refuses the read
        expectedFailure = u"Error reading console attributes:\r\n";
    if (expectedFailure != nullptr) {
        FUZZ_CHECK(rc == -1);
        FUZZ_CHECK(message.find(expectedFailure) != std::u16string::npos);
        return 0;
    }

    FUZZ_CHECK(rc == 0);
    CheckResult(screen, q, row, column, buffer.data());
    return 0;
}
