#pragma once

#include <cstdint>

#include "vksoc/port/framing.h"

// What one kind's header bytes say, before the framing's rules (what the
// value counts, the limits) apply: the value, or why the bytes are no value
// of the kind. Each kind reads and writes exactly its header's bytes; a
// writer refuses a value its bytes cannot carry, writing nothing.
struct HeaderValue {
    HeaderFault fault;  // None: value holds the header's value
    int64_t value;
};
