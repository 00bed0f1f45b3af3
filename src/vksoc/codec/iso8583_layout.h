#pragma once

#include "vksoc/codec/bitmap.h"

// Where the fixed parts of an ISO 8583 message stand, for the assembler and
// the disassembler alike: the 4-byte message type identifier, the primary
// bitmap right after it, the secondary bitmap (when bit 1 is set) after that,
// then the data elements.
inline constexpr int MTI_LENGTH = 4;
inline constexpr int PRIMARY_BITMAP_OFFSET = MTI_LENGTH;
inline constexpr int PRIMARY_END = PRIMARY_BITMAP_OFFSET + BITMAP_BYTES;
inline constexpr int SECONDARY_BITMAP_OFFSET = PRIMARY_END;
inline constexpr int SECONDARY_END = SECONDARY_BITMAP_OFFSET + BITMAP_BYTES;
