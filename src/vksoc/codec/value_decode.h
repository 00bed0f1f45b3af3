#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "vksoc/codec/code_page.h"
#include "vksoc/codec/value_coding.h"

// The decoders of value_coding.h, inline: the disassembler converts every
// received value through them, so they are compiled into its loop.

namespace coding {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";
inline constexpr unsigned BCD_SEPARATOR = 0xD;  // the track-data separator

inline ValueFormResult Converted(int32_t length, int32_t units) {
    return {ValueFormRefusal::None, length, units, -1, 0};
}

inline ValueFormResult Refused(ValueFormRefusal refusal, int32_t at, uint32_t detail) {
    return {refusal, 0, 0, at, detail};
}

inline ValueFormResult NoRoom(int32_t needed) {
    return Refused(ValueFormRefusal::NoRoom, -1, static_cast<uint32_t>(needed));
}

inline ValueFormResult DecodeEbcdic(CodePage page, const unsigned char* wire, int32_t units,
                                    unsigned char* out, int32_t room) {
    const uint8_t* table = EbcdicToLatin1(page);
    // Most text is ASCII: one pass without branches, kept when it was.
    if (units <= room) {
        unsigned seen = 0;
        for (int32_t i = 0; i < units; ++i) {
            const uint8_t point = table[wire[i]];
            out[i] = point;
            seen |= point;
        }
        if ((seen & 0x80u) == 0) {
            return Converted(units, units);
        }
    }
    // With room for two bytes a character no step needs its own check.
    const bool roomy = int64_t{units} * 2 <= room;
    int32_t written = 0;
    for (int32_t i = 0; i < units; ++i) {
        const unsigned point = table[wire[i]];
        const int32_t size = point < 0x80 ? 1 : 2;
        if (!roomy && written + size > room) {
            return Refused(ValueFormRefusal::NoRoom, -1, static_cast<uint32_t>(written + size));
        }
        if (size == 1) {
            out[written++] = static_cast<unsigned char>(point);
        } else {
            out[written++] = static_cast<unsigned char>(0xC0u | point >> 6);
            out[written++] = static_cast<unsigned char>(0x80u | (point & 0x3Fu));
        }
    }
    return Converted(written, units);
}

// The two characters of a byte of packed digits, and whether both nibbles
// are digits (or the separator).
struct BcdPair {
    unsigned char chars[2];
    bool valid;
};

inline constexpr unsigned char BcdChar(unsigned nibble) {
    return nibble <= 9               ? static_cast<unsigned char>('0' + nibble)
           : nibble == BCD_SEPARATOR ? '='
                                     : '?';
}

inline constexpr std::array<BcdPair, 256> MakeBcdPairs() {
    std::array<BcdPair, 256> pairs{};
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char high = BcdChar(b >> 4);
        const unsigned char low = BcdChar(b & 0x0Fu);
        pairs[b] = {{high, low}, high != '?' && low != '?'};
    }
    return pairs;
}

inline constexpr std::array<BcdPair, 256> kBcdPairs = MakeBcdPairs();

// The nibble of a byte that is not a digit: the high one when it is not.
inline unsigned BadNibble(unsigned byte) {
    return BcdChar(byte >> 4) == '?' ? byte >> 4 : byte & 0x0Fu;
}

inline ValueFormResult DecodeBcd(ValueEncoding encoding, const unsigned char* wire, int32_t units,
                                 unsigned char* out, int32_t room) {
    if (units > room) {
        return Refused(ValueFormRefusal::NoRoom, -1, static_cast<uint32_t>(units));
    }
    const int32_t bytes = units / 2 + (units & 1);
    const bool odd = (units & 1) != 0;
    // With an odd count one nibble is the pad: the first for BCD, the last
    // for BCD_RIGHT and BCD_F.
    const bool padFirst = odd && encoding == ValueEncoding::Bcd;
    const bool padLast = odd && !padFirst;
    const unsigned pad = encoding == ValueEncoding::BcdF ? 0xFu : 0u;
    int32_t first = 0;
    int32_t end = bytes;
    int32_t written = 0;
    if (padFirst) {
        const unsigned byte = wire[0];
        if ((byte >> 4) != pad) {
            return Refused(ValueFormRefusal::PadNibble, 0, byte >> 4);
        }
        out[written] = BcdChar(byte & 0x0Fu);
        if (out[written++] == '?') {
            return Refused(ValueFormRefusal::NotBcdNibble, 0, byte & 0x0Fu);
        }
        first = 1;
    }
    if (padLast) {
        end = bytes - 1;
    }
    for (int32_t k = first; k < end; ++k) {
        const BcdPair& pair = kBcdPairs[wire[k]];
        if (!pair.valid) {
            return Refused(ValueFormRefusal::NotBcdNibble, k, BadNibble(wire[k]));
        }
        out[written] = pair.chars[0];
        out[written + 1] = pair.chars[1];
        written += 2;
    }
    if (padLast) {
        const unsigned byte = wire[bytes - 1];
        out[written] = BcdChar(byte >> 4);
        if (out[written++] == '?') {
            return Refused(ValueFormRefusal::NotBcdNibble, bytes - 1, byte >> 4);
        }
        if ((byte & 0x0Fu) != pad) {
            return Refused(ValueFormRefusal::PadNibble, bytes - 1, byte & 0x0Fu);
        }
    }
    return Converted(written, units);
}

inline ValueFormResult DecodeBinary(const unsigned char* wire, int32_t units, unsigned char* out,
                                    int32_t room) {
    if (int64_t{units} * 2 > room) {
        return Refused(ValueFormRefusal::NoRoom, -1, static_cast<uint32_t>(units) * 2);
    }
    for (int32_t i = 0; i < units; ++i) {
        out[2 * i] = static_cast<unsigned char>(kHexDigits[wire[i] >> 4]);
        out[2 * i + 1] = static_cast<unsigned char>(kHexDigits[wire[i] & 0x0Fu]);
    }
    return Converted(2 * units, units);
}

}  // namespace coding

inline ValueFormResult DecodeValue(ValueEncoding encoding, CodePage page, const unsigned char* wire,
                                   int32_t units, unsigned char* out, int32_t room) {
    switch (encoding) {
        case ValueEncoding::Ebcdic:
            return coding::DecodeEbcdic(page, wire, units, out, room);
        case ValueEncoding::Bcd:
        case ValueEncoding::BcdRight:
        case ValueEncoding::BcdF:
            return coding::DecodeBcd(encoding, wire, units, out, room);
        case ValueEncoding::Binary:
            return coding::DecodeBinary(wire, units, out, room);
        case ValueEncoding::Ascii:
        default:
            if (units > room) {
                return coding::NoRoom(units);
            }
            std::memcpy(out, wire, static_cast<size_t>(units));
            return coding::Converted(units, units);
    }
}
