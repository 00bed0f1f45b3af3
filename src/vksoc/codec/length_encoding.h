#pragma once

#include <cstdint>

#include "vkstp/link_record.h"

// A variable element's length prefix in each LENGTH_ENCODING. LENGTH_BYTES
// (1 to 3) stays the number of decimal digits of the longest length; on the
// wire that is LENGTH_BYTES characters (ASCII, EBCDIC), LENGTH_BYTES / 2
// rounded up bytes of packed BCD, or one byte (LENGTH_BYTES 1 or 2) or two
// bytes big-endian (3) of BINARY. The ASCII prefix is read and written by
// length_prefix.h, as on the plain link.

// The bytes the prefix occupies.
inline int32_t LengthPrefixWireBytes(LengthEncoding encoding, int32_t lengthBytes) {
    switch (encoding) {
        case LengthEncoding::Bcd:
            return (lengthBytes + 1) / 2;
        case LengthEncoding::Binary:
            return lengthBytes <= 2 ? 1 : 2;
        case LengthEncoding::Ascii:
        case LengthEncoding::Ebcdic:
        default:
            return lengthBytes;
    }
}

// The longest length the prefix can carry: 10^LENGTH_BYTES - 1 for the
// character forms, 99 or 9999 for BCD (every digit its bytes hold), 255 or
// 65535 for BINARY.
int32_t LengthPrefixCapacity(LengthEncoding encoding, int32_t lengthBytes);

// Reads a prefix of the EBCDIC, BCD or BINARY encoding (`LengthPrefixWireBytes`
// bytes at `wire`). The character and BCD forms hold decimal digits only:
// anything else returns false. A BCD or EBCDIC digit is the same in every
// code page.
bool ReadLengthPrefixAs(LengthEncoding encoding, const unsigned char* wire, int32_t lengthBytes,
                        int32_t* length);

// Writes `length` (0 to LengthPrefixCapacity) as a prefix of the EBCDIC, BCD
// or BINARY encoding, zero-padded on the left.
void WriteLengthPrefixAs(LengthEncoding encoding, unsigned char* wire, int32_t lengthBytes,
                         int32_t length);
