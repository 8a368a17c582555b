// FormatCells against the reference formatter: every 16-bit attribute under
// every format code and mask, in runs that end at the result capacity; and
// runs whose last entries meet the capacity at every position they can reach,
// or that reach it in the fewest cells.
#include "reference_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace {

// Characters after the capacity that the formatter must leave alone.
constexpr size_t kGuardChars = 64;
constexpr Char kUntouched = 0xFDD0;  // a noncharacter: in no entry

std::string Describe(uint16_t value, uint32_t flags)
{
    char text[64];
    std::snprintf(text, sizeof text, "value 0x%04X, code %u, mask %u", value, flags & 7,
                  flags & 384);
    return text;
}

// Formats the cells both ways: true when the texts are equal and nothing was
// written past the capacity.  *placed: how many cells the result holds.
bool Same(const uint16_t* cells, uint32_t count, uint32_t flags, uint32_t* placed)
{
    static std::vector<Char> made(HOST_RESULT_CAPACITY + kGuardChars);
    static std::vector<Char> expected(HOST_RESULT_CAPACITY);
    std::fill(made.begin() + HOST_RESULT_CAPACITY, made.end(), kUntouched);
    FormatCells(made.data(), cells, count, flags);
    *placed = ReferenceFormatCells(expected.data(), cells, count, flags);
    return std::u16string(made.data()) == expected.data() &&
           std::all_of(made.begin() + HOST_RESULT_CAPACITY, made.end(),
                       [](Char c) { return c == kUntouched; });
}

// Names the first cell whose entry differs alone, or else the run: then its
// joining, its cut or its writing past the capacity differs.
::testing::AssertionResult Agree(const uint16_t* cells, uint32_t count, uint32_t flags,
                                 uint32_t* placed)
{
    if (Same(cells, count, flags, placed))
        return ::testing::AssertionSuccess();
    for (uint32_t i = 0, one; i < count; ++i)
        if (!Same(cells + i, 1, flags, &one))
            return ::testing::AssertionFailure() << Describe(cells[i], flags);
    return ::testing::AssertionFailure()
           << "the run of " << count << " cells from " << Describe(cells[0], flags);
}

TEST(FormatCells, EqualsTheReferenceForEveryAttribute)
{
    std::vector<uint16_t> all(0x10000);
    std::iota(all.begin(), all.end(), uint16_t{0});
    for (uint32_t code = 0; code < 8; ++code)
        for (uint32_t mask : {0u, 128u, 256u, 384u}) {
            // No cells, no text.
            uint32_t placed = 0;
            ASSERT_TRUE(Agree(all.data(), 0, code | mask, &placed));
            // Each run is handed every value left and ends at the capacity;
            // the next starts with the first value it left out.
            for (size_t start = 0; start < all.size(); start += placed)
                ASSERT_TRUE(Agree(&all[start], static_cast<uint32_t>(all.size() - start),
                                  code | mask, &placed));
        }
}

// The lengths of the entries of a format, separator included, each with a
// value that has it.
std::map<size_t, uint16_t> EntryLengths(uint32_t code)
{
    std::map<size_t, uint16_t> lengths;
    std::vector<Char> text(HOST_RESULT_CAPACITY);
    size_t sep = (code >= 3 && code <= 6) ? 2 : 1;
    for (uint32_t value = 0; value <= 0xFFFF; ++value) {
        auto cell = static_cast<uint16_t>(value);
        ReferenceFormatCells(text.data(), &cell, 1, code);
        lengths.emplace(TextLength(text.data()) + sep, cell);
    }
    return lengths;
}

// A lead of the shortest entry and the next longer one, adding up to each
// length it can make from twice the longest entry before the capacity up to
// the capacity, then the longest entry twice.  As the lead grows, the two go
// in (the second without its separator), then only the first, then neither.
// And runs of the longest entry alone.
TEST(FormatCells, EqualsTheReferenceAtTheCapacity)
{
    for (uint32_t code = 0; code < 8; ++code) {
        const std::map<size_t, uint16_t> lengths = EntryLengths(code);
        const auto [shortLen, shortest] = *lengths.begin();
        const auto [nextLen, next] = *std::next(lengths.begin());
        const auto [longLen, longest] = *lengths.rbegin();
        std::set<uint32_t> lastEntriesIn;
        for (size_t lead = HOST_RESULT_CAPACITY - 2 * longLen; lead <= HOST_RESULT_CAPACITY;
             ++lead)
            for (size_t nexts = 0; nexts < shortLen && nexts * nextLen <= lead; ++nexts) {
                if ((lead - nexts * nextLen) % shortLen != 0)
                    continue;
                std::vector<uint16_t> cells((lead - nexts * nextLen) / shortLen, shortest);
                cells.insert(cells.end(), nexts, next);
                size_t leadCells = cells.size();
                cells.insert(cells.end(), 2, longest);
                uint32_t placed = 0;
                ASSERT_TRUE(Agree(cells.data(), static_cast<uint32_t>(cells.size()), code,
                                  &placed));
                lastEntriesIn.insert(static_cast<uint32_t>(placed - leadCells));
                break;
            }
        EXPECT_EQ(lastEntriesIn, (std::set<uint32_t>{0, 1, 2})) << "code " << code;

        // The longest entry alone reaches the capacity in the fewest cells.
        std::vector<uint16_t> longestOnly(HOST_RESULT_CAPACITY / longLen + 2, longest);
        uint32_t placed = 0;
        ASSERT_TRUE(Agree(longestOnly.data(), static_cast<uint32_t>(longestOnly.size()), code,
                          &placed));
    }
}

}  // namespace
