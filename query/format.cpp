// format.cpp - the colour names and the cell formatter of @CELLATTR.  Every
// entry is written straight into the result from precomputed text: colour
// names and "<fg> on <bg>" pairs from tables built at compile time, numbers
// from digit-pair tables.  Nothing is allocated.
#include "cellattr.h"
#include "color_names.h"

#include <algorithm>
#include <cstring>
#include <iterator>

// Numbers are kept as characters packed into 64-bit words, the first
// character in the low 16 bits, and stored with memcpy: that is how Char
// text lies in memory on a little-endian machine, which both targets are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "packed characters need little-endian");

// ---------------------------------------------------------------------------
// Colour names, built from color_names.h.

// What follows each entry (cut after the last one), and what joins a pair.
static constexpr Char kNameSeparator[] = u", ";
static constexpr Char kNumberSeparator[] = u" ";
static constexpr Char kPairJoin[] = u" on ";

// The length of a text constant, without its terminator.
template <size_t Size>
static constexpr size_t LengthOf(const Char (&)[Size])
{
    return Size - 1;
}

// A table of texts, one per colour nibble (names) or per low byte
// ("<fg> on <bg>" pairs), each in a row of Stride characters.  Invariant:
// length[i] <= Stride, and text[i] holds that many characters followed by
// zeros; so copying a whole row as one block of fixed size writes the text,
// then only what the next entry or the terminator replaces.
template <size_t Count, size_t Stride>
struct TextTable {
    Char text[Count][Stride];
    uint8_t length[Count];
};

// Copies at most `most` characters of text to row + at; returns the new end.
static constexpr size_t Put(Char* row, size_t at, const Char* text, size_t most = SIZE_MAX)
{
    for (size_t i = 0; i < most && text[i] != 0; ++i)
        row[at++] = text[i];
    return at;
}

// Four rotating result slots for ColorName, and the rows of the name tables.
static constexpr size_t kNameSlotLen = 16;
using NameTable = TextTable<16, kNameSlotLen>;

static constexpr NameTable MakeNames(bool shortForm)
{
    NameTable names{};
    for (unsigned nibble = 0; nibble < 16; ++nibble) {
        Char* row = names.text[nibble];
        size_t n = (nibble & 8) ? Put(row, 0, kBrightPrefix[shortForm]) : 0;
        n = Put(row, n, kBaseNames[nibble & 7], shortForm ? SHORT_NAME_LEN : SIZE_MAX);
        names.length[nibble] = static_cast<uint8_t>(n);
    }
    return names;
}

static constexpr NameTable kNames[2] = {MakeNames(false), MakeNames(true)};  // long, short

template <size_t Count>
static constexpr size_t Longest(const uint8_t (&lengths)[Count])
{
    size_t longest = 0;
    for (uint8_t n : lengths)
        longest = n > longest ? n : longest;
    return longest;
}

static constexpr size_t LongestName(bool shortForm)
{
    return Longest(kNames[shortForm].length);
}
static_assert(LongestName(false) < kNameSlotLen, "a name and its terminator fit a slot");

static Char nameSlots[4][kNameSlotLen];
static unsigned slotCounter = 0;

// The counter is advanced before each write, so a name stays valid for four
// further calls.
const Char* ColorName(unsigned nibble, bool shortForm)
{
    slotCounter = (slotCounter + 1) % 4;
    Char* slot = nameSlots[slotCounter];
    TextCopy(slot, kNameSlotLen, kNames[shortForm].text[nibble & 15]);
    return slot;
}

// ---------------------------------------------------------------------------
// The entries of the name formats, separator included: "<fg>, " by the low
// nibble (codes 5 and 6) and "<fg> on <bg>, " by the low byte (codes 3 and
// 4).  Each row is as long as the longest entry of its table.

static constexpr size_t NameEntryStride(bool shortForm)
{
    return LongestName(shortForm) + LengthOf(kNameSeparator);
}

static constexpr size_t PairEntryStride(bool shortForm)
{
    return 2 * LongestName(shortForm) + LengthOf(kPairJoin) + LengthOf(kNameSeparator);
}

template <bool ShortForm>
static constexpr auto MakeNameEntries()
{
    TextTable<16, NameEntryStride(ShortForm)> entries{};
    for (unsigned nibble = 0; nibble < 16; ++nibble) {
        size_t n = Put(entries.text[nibble], 0, kNames[ShortForm].text[nibble]);
        n = Put(entries.text[nibble], n, kNameSeparator);
        entries.length[nibble] = static_cast<uint8_t>(n);
    }
    return entries;
}

template <bool ShortForm>
static constexpr auto MakePairEntries()
{
    TextTable<256, PairEntryStride(ShortForm)> entries{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        Char* row = entries.text[byte];
        size_t n = Put(row, 0, kNames[ShortForm].text[byte & 15]);
        n = Put(row, n, kPairJoin);
        n = Put(row, n, kNames[ShortForm].text[byte >> 4]);
        n = Put(row, n, kNameSeparator);
        entries.length[byte] = static_cast<uint8_t>(n);
    }
    return entries;
}

static constexpr auto kLongNameEntries = MakeNameEntries<false>();
static constexpr auto kShortNameEntries = MakeNameEntries<true>();
static constexpr auto kLongPairEntries = MakePairEntries<false>();
static constexpr auto kShortPairEntries = MakePairEntries<true>();

// ---------------------------------------------------------------------------
// Entry writers.  Each writes one entry of a masked attribute at out,
// separator included, and returns its length.  All that FormatRun relies on
// is one invariant of every writer: it touches nothing at or past out + its
// reach, so no entry is longer than that.  Within its reach it may write past
// the entry, with text that the next entry or the terminator replaces.
//
// The reaches: a table's whole row; a number's longest lead (three
// characters, asserted below) and then its tail's whole word of four; and
// "0x" before a hexadecimal number.
template <const auto& Table>
static constexpr size_t kRowReach = std::size(Table.text[0]);
static constexpr size_t kNumberReach = 3 + 4;
static constexpr size_t k0xHexReach = 2 + kNumberReach;

// Count entries, index = value & (Count - 1): the whole row, as one block.
template <const auto& Table>
static inline size_t PutFromTable(Char* out, unsigned value)
{
    constexpr size_t count = std::size(Table.length);
    static_assert((count & (count - 1)) == 0, "a table is indexed by low bits");
    unsigned index = value & (count - 1);
    std::memcpy(out, Table.text[index], sizeof Table.text[index]);
    return Table.length[index];
}

// A number is written as a lead and a tail, each up to four characters
// packed into a word and stored whole: "%u " as the hundreds without leading
// zeros, then the last two digits (with a leading zero only after a lead) and
// the separator; "%02X " as the high byte without leading zeros, then the low
// byte's two digits and the separator.  Each part's length comes with it, so
// nothing is counted or shifted.
template <size_t Count>
struct PackedTable {
    uint64_t text[Count];  // packed as described at the top, zeros after
    uint8_t length[Count];
};

template <size_t Count>
static constexpr void Append(PackedTable<Count>& table, unsigned i, Char c)
{
    table.text[i] |= uint64_t{c} << (16 * table.length[i]++);
}

// value's digits in base (10 or 16, upper case), at least minDigits of them:
// none at all for 0 with minDigits 0.
template <size_t Count>
static constexpr void AppendDigits(PackedTable<Count>& table, unsigned i, unsigned value,
                                   unsigned base, size_t minDigits)
{
    constexpr Char kDigits[] = u"0123456789ABCDEF";
    Char digits[4] = {};
    size_t n = 0;
    for (; value != 0 || n < minDigits; value /= base)
        digits[n++] = kDigits[value % base];
    while (n > 0)
        Append(table, i, digits[--n]);
}

// Leads: index = value / 100 (decimal, up to 655) or value >> 8 (hex).
template <size_t Count>
static constexpr PackedTable<Count> MakeLeads(unsigned base)
{
    PackedTable<Count> leads{};
    for (unsigned i = 0; i < Count; ++i)
        AppendDigits(leads, i, i, base, 0);
    return leads;
}

// Tails: index = the last two digits' value, with minDigits digits; plus
// base * base after a lead, with two (decimal only: hex tails always have
// two).
template <size_t Count>
static constexpr PackedTable<Count> MakeTails(unsigned base, size_t minDigits)
{
    PackedTable<Count> tails{};
    for (unsigned i = 0; i < Count; ++i) {
        bool afterLead = i >= base * base;
        // NOLINTNEXTLINE(clang-analyzer-core.DivideZero): base is 10 or 16 (below), never 0.
        AppendDigits(tails, i, i % (base * base), base, afterLead ? 2 : minDigits);
        for (const Char* c = kNumberSeparator; *c != 0; ++c)
            Append(tails, i, *c);
    }
    return tails;
}

static constexpr auto kDecimalLeads = MakeLeads<0xFFFF / 100 + 1>(10);
static constexpr auto kDecimalTails = MakeTails<2 * 100>(10, 1);
static constexpr auto kHexLeads = MakeLeads<256>(16);
static constexpr auto kHexTails = MakeTails<256>(16, 2);

template <size_t Leads, size_t Tails>
static inline size_t PutNumber(Char* out, const PackedTable<Leads>& leads, unsigned lead,
                               const PackedTable<Tails>& tails, unsigned tail)
{
    std::memcpy(out, &leads.text[lead], sizeof(uint64_t));
    size_t n = leads.length[lead];
    std::memcpy(out + n, &tails.text[tail], sizeof(uint64_t));
    return n + tails.length[tail];
}

static_assert(Longest(kDecimalLeads.length) <= 3 && Longest(kHexLeads.length) <= 3,
              "kNumberReach: leads are at most three characters");

static inline size_t PutDecimal(Char* out, unsigned value)
{
    unsigned hundreds = value / 100;
    unsigned tail = value % 100 + (hundreds != 0 ? 100 : 0);
    return PutNumber(out, kDecimalLeads, hundreds, kDecimalTails, tail);
}

static inline size_t PutHex(Char* out, unsigned value)
{
    return PutNumber(out, kHexLeads, value >> 8, kHexTails, value & 0xFF);
}

static inline size_t Put0xHex(Char* out, unsigned value)
{
    out[0] = u'0';
    out[1] = u'x';
    return 2 + PutHex(out + 2, value);
}

// ---------------------------------------------------------------------------
// The run.

// Writes the cells into result (HOST_RESULT_CAPACITY characters) with Put,
// without the last separator.  A result that would not fit ends at the last
// entry that leaves room for the terminator, whole or without its separator.
template <size_t (*Put)(Char*, unsigned), size_t Reach>
static void FormatRun(Char* result, const uint16_t* cells, uint32_t count, unsigned keep,
                      size_t sep)
{
    size_t len = 0;  // every entry so far, each with its separator
    uint32_t i = 0;
    // While len + Reach < the capacity, an entry written straight into result
    // stays inside it and fits whole with room for the terminator.  The
    // first `sure` entries always find it so (len <= i * Reach); only those
    // after them test it.
    const uint32_t sure = std::min<uint32_t>(count, (HOST_RESULT_CAPACITY - 1) / Reach);
    for (; i < sure; ++i)
        len += Put(result + len, cells[i] & keep);
    for (; i < count && len + Reach < HOST_RESULT_CAPACITY; ++i)
        len += Put(result + len, cells[i] & keep);
    // Near the end, each entry is made aside and copied in as far as it
    // fits: one that leaves room for the terminator only without its
    // separator goes in without it, and is the last.
    for (; i < count; ++i) {
        Char entry[Reach];
        size_t n = Put(entry, cells[i] & keep);
        bool whole = len + n < HOST_RESULT_CAPACITY;
        if (!whole && len + n - sep >= HOST_RESULT_CAPACITY)
            break;
        std::memcpy(result + len, entry, (whole ? n : n - sep) * sizeof(Char));
        len += n;
        if (!whole)
            break;
    }
    if (len > 0)
        len -= sep;  // the last entry's separator, written or not
    result[len] = 0;
}

template <const auto& Table>
static void FormatNames(Char* result, const uint16_t* cells, uint32_t count, unsigned keep)
{
    FormatRun<PutFromTable<Table>, kRowReach<Table>>(result, cells, count, keep,
                                                     LengthOf(kNameSeparator));
}

void FormatCells(Char* result, const uint16_t* cells, uint32_t count, uint32_t flags)
{
    // 128 keeps the low byte, otherwise 256 the high byte in place.
    unsigned keep = (flags & 128) ? 0x00FFu : (flags & 256) ? 0xFF00u : 0xFFFFu;
    switch (flags & 7) {
    case 1:
        FormatRun<PutHex, kNumberReach>(result, cells, count, keep, LengthOf(kNumberSeparator));
        break;
    case 2:
        FormatRun<Put0xHex, k0xHexReach>(result, cells, count, keep, LengthOf(kNumberSeparator));
        break;
    case 3:
        FormatNames<kLongPairEntries>(result, cells, count, keep);
        break;
    case 4:
        FormatNames<kShortPairEntries>(result, cells, count, keep);
        break;
    case 5:
        FormatNames<kLongNameEntries>(result, cells, count, keep);
        break;
    case 6:
        FormatNames<kShortNameEntries>(result, cells, count, keep);
        break;
    default:  // 0 and 7
        FormatRun<PutDecimal, kNumberReach>(result, cells, count, keep,
                                            LengthOf(kNumberSeparator));
        break;
    }
}
