#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/error_state.h"

// A property that does not hold stops the run with the reason; libFuzzer
// then keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property failed: %s\nerror text: %s\n", __FILE__, \
                         __LINE__, #condition, GetErrorText());                            \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// A format failure recorded by `operation`: ERR_FORMAT, sub-code 0 and a
// text "[vksoc,LINE] operation: ...".
inline bool IsFormatFailureOf(const char* operation) {
    const char* text = GetErrorText();
    if (GetErrorCode() != ERR_FORMAT || GetErrorSubCode() != 0 ||
        std::strncmp(text, "[vksoc,", 7) != 0) {
        return false;
    }
    const char* end = std::strstr(text, "] ");
    return end != nullptr && std::strncmp(end + 2, operation, std::strlen(operation)) == 0 &&
           end[2 + std::strlen(operation)] == ':';
}
