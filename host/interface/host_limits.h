// host_limits.h - the host's sizes that the module relies on, each stated
// once.  The host does not publish them: each is what we assume of it (the
// table of assumptions in docs/design.md).  The module, the stand-ins, the
// benchmarks and the tests use these names; no other code types the numbers.
#pragma once

#include <cstddef>

// The buffer that the host hands a variable function, in characters with
// the terminator.  32,768 is what the longest Windows command line (32,767
// characters) needs, so we assume it, and end a longer result at the last
// whole entry that fits.
inline constexpr size_t HOST_RESULT_CAPACITY = 32768;

// The longest line the host expands, in characters without the terminator:
// ExpandVariables writes back up to that many and a terminator, whatever the
// buffer it is handed.
inline constexpr size_t HOST_LINE_LIMIT = 8191;

// Every buffer that the module hands to ExpandVariables, the error prefix's
// and the banner test's, in characters: as the host may fill it whole.
inline constexpr size_t EXPANSION_BUFFER_LEN = 8192;
static_assert(EXPANSION_BUFFER_LEN > HOST_LINE_LIMIT, "the host writes back its longest line");
