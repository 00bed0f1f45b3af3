#pragma once

#include "vksoc/codec/bitmap.h"
#include "vksoc/codec/iso8583_layout.h"
#include "vkstp/link_record.h"

// How a controller's message type identifier and bitmaps lie on the wire,
// for the assembler and the disassembler alike: the identifier of 4
// characters or 2 bytes of BCD, then each bitmap as 8 bytes or 16
// hexadecimal characters.
struct LinkHead {
    MtiEncoding mti;
    int mtiBytes;    // on the wire
    bool hexBitmap;  // HEX or EBCDIC_HEX
    bool ebcdicBitmap;
    int bitmapBytes;  // of one bitmap on the wire
    CodePage page;
};

inline constexpr LinkHead PLAIN_HEAD = {MtiEncoding::Ascii, MTI_LENGTH,      false, false,
                                        BITMAP_BYTES,       CodePage::Cp1047};

inline LinkHead LinkHeadOf(const LinkRecord& link) {
    const auto mti = static_cast<MtiEncoding>(link.MTI_ENCODING);
    const auto bitmap = static_cast<BitmapEncoding>(link.BITMAP_ENCODING);
    const bool hex = bitmap != BitmapEncoding::Binary;
    return {mti,
            mti == MtiEncoding::Bcd ? MTI_LENGTH / 2 : MTI_LENGTH,
            hex,
            bitmap == BitmapEncoding::EbcdicHex,
            hex ? 2 * BITMAP_BYTES : BITMAP_BYTES,
            static_cast<CodePage>(link.CODE_PAGE)};
}
