#pragma once

#include "vksoc/port/header_value.h"

// BCD2: 2 bytes of packed decimal digits, 0000 to 9999, most significant
// first ("0039" is 00 39). A nibble above 9 is no length.
HeaderValue ReadBcdHeader(const unsigned char* header);
bool WriteBcdHeader(unsigned char* out, int64_t value);
