#pragma once

#include "vksoc/port/framing.h"

// The decimal length prefix: `width` ASCII digits of the body length, read as
// the standard atoi reads them (sign, leading blanks; "1x5" is 1) and written
// zero-padded. The prefix does not count itself.
FrameHeader ParseDecimalHeader(int width, const unsigned char* header, int count, int maxBody);
bool WriteDecimalHeader(int width, unsigned char* out, int bodyLength);
