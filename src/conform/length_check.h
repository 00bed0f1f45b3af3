#pragma once

#include "vkstp/config_image.h"

// A value's length against its field spec, counted on the value form
// (characters for ASCII and EBCDIC, digits for the BCD encodings, bytes for
// BINARY shown as two hexadecimal characters each: the caller passes the
// count the configuration's MAX_LEN means).

namespace conform {

enum class LengthVerdict { Fits, TooLong, WrongLength };

// A variable field (LENGTH_BYTES above 0) may be at most MAX_LEN long; a
// fixed one must be exactly MAX_LEN. An absent value (0) always fits.
LengthVerdict CheckLength(const FieldSpec& spec, int length);

}  // namespace conform
