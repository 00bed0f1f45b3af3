#pragma once

#include <cstdint>

// What taking one message from the front of the bytes held found, for the
// disassemblers and the receive path above them.
enum class TakeOutcome {
    Whole,      // a whole message: `bytes` is the length it occupies
    NeedMore,   // nothing whole yet: `bytes` as the caller's contract says
    Malformed,  // the error is recorded; `bytes` is -1
};

struct Taken {
    TakeOutcome outcome;
    int32_t bytes;
};
