// Shared by the fuzzers: a failed expectation aborts, so libFuzzer records
// the input as a crash together with the reason.
#ifndef ULMORA_FUZZ_FUZZCHECK_H
#define ULMORA_FUZZ_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,     \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

#endif
