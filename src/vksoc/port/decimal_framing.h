#pragma once

#include "vksoc/port/header_value.h"

// The decimal length prefix: `width` ASCII digits, read as the standard atoi
// reads them (sign, leading blanks; "1x5" is 1) and written zero-padded.
HeaderValue ReadDecimalHeader(int width, const unsigned char* header);
bool WriteDecimalHeader(int width, unsigned char* out, int64_t value);
