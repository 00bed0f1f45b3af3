#include "vksoc/codec/value_coding.h"

#include <array>
#include <cstring>

#include "vksoc/codec/code_page.h"
#include "vksoc/codec/value_decode.h"

namespace {

using coding::BCD_SEPARATOR;
using coding::Converted;
using coding::kHexDigits;
using coding::NoRoom;
using coding::Refused;

// 0 to 15 for a hexadecimal digit in ASCII (either case), else -1.
int HexValue(unsigned c) {
    if (c >= '0' && c <= '9') {
        return static_cast<int>(c - '0');
    }
    c |= 0x20u;
    if (c >= 'a' && c <= 'f') {
        return static_cast<int>(c - 'a' + 10);
    }
    return -1;
}

// 0 to 15 for a hexadecimal digit in EBCDIC (F0-F9, C1-C6, 81-86), else -1.
int EbcdicHexValue(unsigned c) {
    if (c >= 0xF0 && c <= 0xF9) {
        return static_cast<int>(c - 0xF0);
    }
    if ((c >= 0xC1 && c <= 0xC6) || (c >= 0x81 && c <= 0x86)) {
        return static_cast<int>((c & 0x0Fu) + 9);
    }
    return -1;
}

// The nibble of a BCD value form's character, or -1.
constexpr int BcdNibble(unsigned c) {
    if (c >= '0' && c <= '9') {
        return static_cast<int>(c - '0');
    }
    if (c == '=' || c == 'D' || c == 'd') {
        return BCD_SEPARATOR;
    }
    return -1;
}

// The nibble of each value-form character, 0xFF for what is none.
constexpr std::array<unsigned char, 256> MakeBcdNibbles() {
    std::array<unsigned char, 256> nibbles{};
    for (unsigned c = 0; c < 256; ++c) {
        const int nibble = BcdNibble(c);
        nibbles[c] = nibble < 0 ? 0xFF : static_cast<unsigned char>(nibble);
    }
    return nibbles;
}

constexpr std::array<unsigned char, 256> kBcdNibbles = MakeBcdNibbles();

// The code point of the UTF-8 sequence at value[i], taking a byte that does
// not begin a well-formed sequence as its own value; *size: bytes used.
uint32_t NextCodePoint(const unsigned char* value, int32_t length, int32_t i, int32_t* size) {
    const unsigned lead = value[i];
    *size = 1;
    if (lead < 0xC2 || lead > 0xF4) {
        return lead;
    }
    const int32_t tail = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (i + tail >= length) {
        return lead;  // cut short by the end of the value
    }
    uint32_t point = lead & (0x3Fu >> tail);
    for (int32_t k = 1; k <= tail; ++k) {
        const unsigned next = value[i + k];
        if ((next & 0xC0u) != 0x80u) {
            return lead;
        }
        point = point << 6 | (next & 0x3Fu);
    }
    // Overlong forms and surrogates are not characters: their lead byte
    // stands for itself.
    const uint32_t least = tail == 1 ? 0x80u : tail == 2 ? 0x800u : 0x10000u;
    if (point < least || point > 0x10FFFFu || (point >= 0xD800u && point <= 0xDFFFu)) {
        return lead;
    }
    *size = tail + 1;
    return point;
}

// The checks every variable value passes, in the field's units.
ValueFormResult CheckVariable(ValueBounds bounds, int32_t units) {
    if (bounds.variableMaxLen && units > bounds.maxLen) {
        return Refused(ValueFormRefusal::AboveMaxLen, -1, static_cast<uint32_t>(units));
    }
    if (units > bounds.capacity) {
        return Refused(ValueFormRefusal::AbovePrefix, -1, static_cast<uint32_t>(units));
    }
    return Converted(0, units);
}

ValueFormResult EncodeAscii(ValueBounds bounds, const unsigned char* value, int32_t length,
                            unsigned char* out, int32_t room) {
    if (bounds.fixed) {
        const int32_t kept = length < bounds.maxLen ? length : bounds.maxLen;
        if (bounds.maxLen > room) {
            return NoRoom(bounds.maxLen);
        }
        if (out != nullptr) {
            std::memcpy(out, value, static_cast<size_t>(kept));
            std::memset(out + kept, ' ', static_cast<size_t>(bounds.maxLen - kept));
        }
        return Converted(bounds.maxLen, bounds.maxLen);
    }
    const ValueFormResult checked = CheckVariable(bounds, length);
    if (checked.refusal != ValueFormRefusal::None) {
        return checked;
    }
    if (length > room) {
        return NoRoom(length);
    }
    if (out != nullptr) {
        std::memcpy(out, value, static_cast<size_t>(length));
    }
    return Converted(length, length);
}

ValueFormResult EncodeEbcdic(CodePage page, ValueBounds bounds, const unsigned char* value,
                             int32_t length, unsigned char* out, int32_t room) {
    const uint8_t* table = Latin1ToEbcdic(page);
    int32_t chars = 0;
    for (int32_t i = 0; i < length;) {
        int32_t size = 1;
        const uint32_t point = value[i] < 0x80 ? value[i] : NextCodePoint(value, length, i, &size);
        if (point > 0xFF) {
            return Refused(ValueFormRefusal::NotInCodePage, i, point);
        }
        if (out != nullptr && chars < room) {
            out[chars] = table[point];
        }
        ++chars;
        i += size;
    }
    int32_t units = chars;
    if (bounds.fixed) {
        if (chars > bounds.maxLen) {
            return Refused(ValueFormRefusal::AboveMaxLen, -1, static_cast<uint32_t>(chars));
        }
        units = bounds.maxLen;
    } else {
        const ValueFormResult checked = CheckVariable(bounds, chars);
        if (checked.refusal != ValueFormRefusal::None) {
            return checked;
        }
    }
    if (units > room) {
        return NoRoom(units);
    }
    if (out != nullptr) {
        std::memset(out + chars, EBCDIC_BLANK, static_cast<size_t>(units - chars));
    }
    return Converted(units, units);
}

ValueFormResult EncodeBcd(ValueEncoding encoding, ValueBounds bounds, const unsigned char* value,
                          int32_t length, unsigned char* out, int32_t room) {
    for (int32_t i = 0; i < length; ++i) {
        if (kBcdNibbles[value[i]] > 0xF) {
            return Refused(ValueFormRefusal::NotDigit, i, value[i]);
        }
    }
    int32_t digits = length;
    if (bounds.fixed) {
        if (length > bounds.maxLen) {
            return Refused(ValueFormRefusal::AboveMaxLen, -1, static_cast<uint32_t>(length));
        }
        digits = bounds.maxLen;
    } else {
        const ValueFormResult checked = CheckVariable(bounds, length);
        if (checked.refusal != ValueFormRefusal::None) {
            return checked;
        }
    }
    const int32_t bytes = digits / 2 + (digits & 1);
    if (bytes > room) {
        return NoRoom(bytes);
    }
    if (out == nullptr) {
        return Converted(bytes, digits);
    }
    // The nibbles in order: a leading pad for an odd count in BCD, the
    // leading zeros of a short fixed value, the digits, a trailing pad for
    // an odd count in BCD_RIGHT and BCD_F.
    const bool odd = (digits & 1) != 0;
    const bool padFirst = odd && encoding == ValueEncoding::Bcd;
    const unsigned trailing = odd && !padFirst && encoding == ValueEncoding::BcdF ? 0xFu : 0u;
    const int32_t lead = (padFirst ? 1 : 0) + digits - length;
    std::memset(out, 0, static_cast<size_t>(lead / 2));
    int32_t k = lead / 2;
    int32_t i = 0;
    if ((lead & 1) != 0) {
        // Only a value after a zero nibble, or nothing but the trailing pad.
        out[k++] = length > 0 ? kBcdNibbles[value[i++]] : static_cast<unsigned char>(trailing);
    }
    for (; i + 1 < length; i += 2) {
        out[k++] =
            static_cast<unsigned char>(kBcdNibbles[value[i]] << 4 | kBcdNibbles[value[i + 1]]);
    }
    if (i < length) {
        out[k++] = static_cast<unsigned char>(unsigned{kBcdNibbles[value[i]]} << 4 | trailing);
    }
    return Converted(bytes, digits);
}

ValueFormResult EncodeBinary(ValueBounds bounds, const unsigned char* value, int32_t length,
                             unsigned char* out, int32_t room) {
    for (int32_t i = 0; i < length; ++i) {
        if (HexValue(value[i]) < 0) {
            return Refused(ValueFormRefusal::NotHex, i, value[i]);
        }
    }
    if ((length & 1) != 0) {
        return Refused(ValueFormRefusal::OddHexCount, -1, static_cast<uint32_t>(length));
    }
    const int32_t bytes = length / 2;
    if (bounds.fixed) {
        if (bytes > bounds.maxLen) {
            return Refused(ValueFormRefusal::AboveMaxLen, -1, static_cast<uint32_t>(bytes));
        }
        if (bytes < bounds.maxLen) {
            return Refused(ValueFormRefusal::FixedIncomplete, -1, static_cast<uint32_t>(bytes));
        }
    } else {
        const ValueFormResult checked = CheckVariable(bounds, bytes);
        if (checked.refusal != ValueFormRefusal::None) {
            return checked;
        }
    }
    if (bytes > room) {
        return NoRoom(bytes);
    }
    if (out != nullptr) {
        for (int32_t i = 0; i < bytes; ++i) {
            out[i] = static_cast<unsigned char>(HexValue(value[2 * i]) << 4 |
                                                HexValue(value[2 * i + 1]));
        }
    }
    return Converted(bytes, bytes);
}

}  // namespace

ValueFormResult EncodeValue(ValueEncoding encoding, CodePage page, ValueBounds bounds,
                            const unsigned char* value, int32_t length, unsigned char* out,
                            int32_t room) {
    if (bounds.fixed && bounds.cutAtNul) {
        // A fixed value form ends at a NUL byte, as the dialog's text areas do.
        if (const void* nul = std::memchr(value, 0, static_cast<size_t>(length))) {
            length = static_cast<int32_t>(static_cast<const unsigned char*>(nul) - value);
        }
    }
    switch (encoding) {
        case ValueEncoding::Ebcdic:
            return EncodeEbcdic(page, bounds, value, length, out, room);
        case ValueEncoding::Bcd:
        case ValueEncoding::BcdRight:
        case ValueEncoding::BcdF:
            return EncodeBcd(encoding, bounds, value, length, out, room);
        case ValueEncoding::Binary:
            return EncodeBinary(bounds, value, length, out, room);
        case ValueEncoding::Ascii:
        default:
            return EncodeAscii(bounds, value, length, out, room);
    }
}

int32_t TextPrefixBytes(const unsigned char* value, int32_t length, int32_t chars) {
    int32_t i = 0;
    for (int32_t k = 0; k < chars && i < length; ++k) {
        int32_t size = 1;
        NextCodePoint(value, length, i, &size);
        i += size;
    }
    return i;
}

void WriteHexBitmap(const unsigned char* bitmap, bool ebcdic, unsigned char* out) {
    for (int i = 0; i < 8; ++i) {
        const unsigned nibbles[2] = {static_cast<unsigned>(bitmap[i] >> 4),
                                     static_cast<unsigned>(bitmap[i] & 0x0Fu)};
        for (int k = 0; k < 2; ++k) {
            const unsigned nibble = nibbles[k];
            const unsigned char c = static_cast<unsigned char>(kHexDigits[nibble]);
            out[2 * i + k] = !ebcdic       ? c
                             : nibble <= 9 ? static_cast<unsigned char>(EBCDIC_ZERO + nibble)
                                           : static_cast<unsigned char>(0xC1 + nibble - 10);
        }
    }
}

bool ReadHexBitmap(const unsigned char* text, bool ebcdic, unsigned char* bitmap) {
    for (int i = 0; i < 8; ++i) {
        const int high = ebcdic ? EbcdicHexValue(text[2 * i]) : HexValue(text[2 * i]);
        const int low = ebcdic ? EbcdicHexValue(text[2 * i + 1]) : HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bitmap[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}
