#pragma once

// The binary bitmaps of an ISO 8583 message: the primary bitmap of 8 bytes
// names bits 1 to 64, the secondary bitmap right after it bits 65 to 128.
// Bits are 1-indexed from the left: bit 1 is the most significant bit of
// byte 0. Bit 1 set means that the secondary bitmap follows; any other bit n
// set means that data element n is present.

inline constexpr int BITMAP_BYTES = 8;
inline constexpr int PRIMARY_BITS = 64;
inline constexpr int ALL_BITS = 128;

// bitmap: the first byte of the primary bitmap; n: 1 to 128 (bits above 64
// lie in the secondary bitmap, which the caller must have).
inline bool BitIsSet(const unsigned char* bitmap, int n) {
    return (bitmap[(n - 1) >> 3] & (0x80u >> ((n - 1) & 7))) != 0;
}

inline void SetBit(unsigned char* bitmap, int n) {
    bitmap[(n - 1) >> 3] =
        static_cast<unsigned char>(bitmap[(n - 1) >> 3] | (0x80u >> ((n - 1) & 7)));
}
