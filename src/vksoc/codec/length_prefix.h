#pragma once

#include <cstdint>

// Decimal length texts on the wire, read and written here only: the length
// prefix of a variable ISO 8583 element, the ZTR MESSAGE_LENGTH field, and
// the record prefix (HEADER_LENGTH digits) in front of every message on a
// prefixed port.

// Reads the `width` characters at `text` as a number: leading white space,
// an optional sign, then decimal digits up to the first other character; a
// NUL among the characters ends the text early, and text without digits
// gives 0 (the reading of the standard atoi, bounded by the width). The
// result may be negative. Values beyond 32 bits stop at the
// limit. Reads at most `width` bytes.
int32_t ParseLengthPrefix(const unsigned char* text, int width);

// Whether `value` can be written as `width` decimal digits: not negative and
// below 10 to the power of `width`. A length that does not fit must be
// refused, never cut: the peer would read a corrupt message.
bool LengthFitsDigits(int32_t value, int width);

// Writes `value` as exactly `width` digits, zero-padded on the left (the
// "%0*d" text). The value must fit (LengthFitsDigits).
void FormatLengthPrefix(unsigned char* out, int width, int32_t value);
