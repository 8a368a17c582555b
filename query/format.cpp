// format.cpp - the colour names and the cell formatter of @CELLATTR.  Every
// entry is written straight into the result from precomputed text: colour
// names and "<fg> on <bg>" pairs from tables built at compile time, numbers
// from digit-pair tables.  Nothing is allocated.
#include "cellattr.h"

#include <cstring>
#include <iterator>

// Numbers are assembled as characters packed into 64-bit words, the first
// character in the low 16 bits, and stored with memcpy: that is how Char
// text lies in memory on a little-endian machine, which both targets are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "packed characters need little-endian");

// ---------------------------------------------------------------------------
// Colour names: the one place they are stated.  The eight base colours are
// indexed by the low three bits of a colour nibble (bit 0 blue, bit 1 green,
// bit 2 red); bit 3 puts the bright prefix in front.  A short name keeps the
// first SHORT_NAME_LEN letters of the base colour.

static constexpr const Char* kBaseNames[8] = {
    u"Black", u"Blue", u"Green", u"Cyan", u"Red", u"Magenta", u"Yellow", u"White",
};
static constexpr const Char* kBrightPrefix[2] = {u"Bright ", u"Bri "};  // long, short
static constexpr size_t SHORT_NAME_LEN = 3;

// What follows each entry (cut after the last one), and what joins a pair.
static constexpr Char kNameSeparator[] = u", ";
static constexpr size_t NAME_SEP_LEN = std::size(kNameSeparator) - 1;
static constexpr Char kPairJoin[] = u" on ";
static constexpr Char NUMBER_SEPARATOR = u' ';
static constexpr size_t NUMBER_SEP_LEN = 1;

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
static constexpr size_t NAME_SLOT_LEN = 16;
using NameTable = TextTable<16, NAME_SLOT_LEN>;

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

static constexpr size_t LongestName(bool shortForm)
{
    size_t longest = 0;
    for (uint8_t n : kNames[shortForm].length)
        longest = n > longest ? n : longest;
    return longest;
}
static_assert(LongestName(false) < NAME_SLOT_LEN, "a name and its terminator fit a slot");

static Char nameSlots[4][NAME_SLOT_LEN];
static unsigned slotCounter = 0;

// The counter is advanced before each write, so a name stays valid for four
// further calls.
const Char* ColorName(unsigned nibble, bool shortForm)
{
    slotCounter = (slotCounter + 1) % 4;
    Char* slot = nameSlots[slotCounter];
    TextCopy(slot, NAME_SLOT_LEN, kNames[shortForm].text[nibble & 15]);
    return slot;
}

// ---------------------------------------------------------------------------
// The entries of the name formats, separator included: "<fg>, " by the low
// nibble (codes 5 and 6) and "<fg> on <bg>, " by the low byte (codes 3 and
// 4).  Each row is as long as the longest entry of its table.

static constexpr size_t NameEntryStride(bool shortForm)
{
    return LongestName(shortForm) + NAME_SEP_LEN;
}

static constexpr size_t PairEntryStride(bool shortForm)
{
    return 2 * LongestName(shortForm) + std::size(kPairJoin) - 1 + NAME_SEP_LEN;
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
// Entry writers.  Each writes one entry of a masked attribute, separator
// included, at out and returns its length; it may write past the entry, up
// to its reach (the most characters it ever touches), with text that the
// next entry or the terminator replaces.

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

// pair[i]: the two digits of i in base 10 ("00" to "99") or 16 ("00" to
// "FF"), packed as described at the top.
struct PairTable {
    uint32_t pair[256];
};

static constexpr PairTable MakeDigitPairs(unsigned base)
{
    constexpr Char digits[] = u"0123456789ABCDEF";
    PairTable t{};
    for (unsigned i = 0; i < base * base; ++i)
        t.pair[i] = digits[i / base] | static_cast<uint32_t>(digits[i % base]) << 16;
    return t;
}

static constexpr PairTable kDecimalPairs = MakeDigitPairs(10);
static constexpr PairTable kHexPairs = MakeDigitPairs(16);

// Four packed characters whose last `digits` (1 to 4) are the ones to keep,
// stored at out: the leading ones are shifted out, zeros come in behind.
static inline void PutLastDigits(Char* out, uint64_t four, size_t digits)
{
    four >>= 16 * (4 - digits);
    std::memcpy(out, &four, sizeof four);
}

// "%u " of a 16-bit value: the fifth digit from the right, then two pairs.
// The pairs are taken as digit values (0 to 9) first, so that leading zero
// digits are zero bits and one bit scan counts them.
static constexpr size_t DECIMAL_REACH = 6;
static inline size_t PutDecimal(Char* out, unsigned value)
{
    constexpr uint64_t zeros = kDecimalPairs.pair[0] | uint64_t{kDecimalPairs.pair[0]} << 32;
    unsigned low = value % 10000;
    uint64_t four = (kDecimalPairs.pair[low / 100] |
                     static_cast<uint64_t>(kDecimalPairs.pair[low % 100]) << 32) - zeros;
    size_t fifth = value > 9999;  // 1 when a fifth digit leads
    // Leading zeros of the four, at most three (0 keeps its one digit).
    size_t skipped = fifth ? 0 : static_cast<size_t>(__builtin_ctzll(four | 1ull << 48)) / 16;
    out[0] = static_cast<Char>(u'0' + value / 10000);
    PutLastDigits(out + fifth, four + zeros, 4 - skipped);
    size_t n = fifth + 4 - skipped;
    out[n] = NUMBER_SEPARATOR;
    return n + NUMBER_SEP_LEN;
}

// "%02X " of a 16-bit value: the high byte's pair, then the low byte's.
static constexpr size_t HEX_REACH = 5;
static inline size_t PutHex(Char* out, unsigned value)
{
    uint64_t four = kHexPairs.pair[value >> 8] |
                    static_cast<uint64_t>(kHexPairs.pair[value & 0xFF]) << 32;
    size_t n = 2 + (value > 0xFF) + (value > 0xFFF);
    PutLastDigits(out, four, n);
    out[n] = NUMBER_SEPARATOR;
    return n + NUMBER_SEP_LEN;
}

static constexpr size_t HEX_0X_REACH = 2 + HEX_REACH;
static inline size_t Put0xHex(Char* out, unsigned value)
{
    out[0] = u'0';
    out[1] = u'x';
    return 2 + PutHex(out + 2, value);
}

// ---------------------------------------------------------------------------
// The run.

// Writes the cells into result (HOST_RESULT_CAPACITY characters) with Put,
// without the last separator.  An entry goes in with its separator when that
// leaves room for the terminator; failing that, it may still end the result
// without its separator, when that leaves room, and formatting stops.  So a
// long result ends at the last whole entry that fits.
template <size_t (*Put)(Char*, unsigned), size_t Reach>
static void FormatRun(Char* result, const uint16_t* cells, uint32_t count, unsigned keep,
                      size_t sep)
{
    size_t len = 0;
    uint32_t i = 0;
    // While len + Reach < capacity, every entry fits whole with its
    // separator (none is longer than its writer's reach), and all that the
    // writer touches lies inside the capacity: write straight into result.
    for (; i < count && len + Reach < HOST_RESULT_CAPACITY; ++i)
        len += Put(result + len, cells[i] & keep);
    // Near the end, each entry is made aside and placed as far as it fits.
    bool cut = false;  // the last entry went in without its separator
    for (; i < count; ++i) {
        Char entry[Reach];
        size_t n = Put(entry, cells[i] & keep);
        if (len + n >= HOST_RESULT_CAPACITY) {
            cut = len + n - sep < HOST_RESULT_CAPACITY;
            if (cut) {
                std::memcpy(result + len, entry, (n - sep) * sizeof(Char));
                len += n - sep;
            }
            break;
        }
        std::memcpy(result + len, entry, n * sizeof(Char));
        len += n;
    }
    if (len > 0 && !cut)
        len -= sep;
    result[len] = 0;
}

template <const auto& Table>
static void FormatNames(Char* result, const uint16_t* cells, uint32_t count, unsigned keep)
{
    FormatRun<PutFromTable<Table>, std::size(Table.text[0])>(result, cells, count, keep,
                                                              NAME_SEP_LEN);
}

void FormatCells(Char* result, const uint16_t* cells, uint32_t count, uint32_t flags)
{
    // 128 keeps the low byte, otherwise 256 the high byte in place.
    unsigned keep = (flags & 128) ? 0x00FFu : (flags & 256) ? 0xFF00u : 0xFFFFu;
    switch (flags & 7) {
    case 1:
        FormatRun<PutHex, HEX_REACH>(result, cells, count, keep, NUMBER_SEP_LEN);
        break;
    case 2:
        FormatRun<Put0xHex, HEX_0X_REACH>(result, cells, count, keep, NUMBER_SEP_LEN);
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
        FormatRun<PutDecimal, DECIMAL_REACH>(result, cells, count, keep, NUMBER_SEP_LEN);
        break;
    }
}
