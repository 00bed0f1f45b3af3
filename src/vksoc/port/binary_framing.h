#pragma once

#include "vksoc/port/header_value.h"

// Unsigned binary lengths: BIN2 and BIN2LE (2 bytes), BIN4 (4 bytes, big-
// endian), VMLH (2 bytes big-endian, then 2 reserved bytes that are read
// past and sent as 00 00).
HeaderValue ReadBinaryHeader(FramingKind kind, const unsigned char* header);
bool WriteBinaryHeader(FramingKind kind, unsigned char* out, int64_t value);
