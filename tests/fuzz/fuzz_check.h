#pragma once

#include <cstdio>
#include <cstdlib>

// A property of a fuzz target that must hold for every input; a failure aborts, so that the
// fuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
