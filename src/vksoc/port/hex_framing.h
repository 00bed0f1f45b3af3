#pragma once

#include "vksoc/port/header_value.h"

// HEX4: 4 hexadecimal ASCII characters, 0000 to FFFF; either case is read,
// upper case is written.
HeaderValue ReadHexHeader(const unsigned char* header);
bool WriteHexHeader(unsigned char* out, int64_t value);
