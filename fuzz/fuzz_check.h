// fuzz_check.h - the fuzz targets' assertion: a broken invariant prints what
// broke and where, then traps, which libFuzzer reports as a crash and saves
// the input that caused it.
#pragma once

#include <cstdio>

#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,     \
                         #condition);                                                    \
            std::fflush(stderr);                                                         \
            __builtin_trap();                                                            \
        }                                                                                \
    } while (0)
