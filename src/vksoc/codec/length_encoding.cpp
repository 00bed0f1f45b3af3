#include "vksoc/codec/length_encoding.h"

#include "vksoc/codec/code_page.h"

int32_t LengthPrefixCapacity(LengthEncoding encoding, int32_t lengthBytes) {
    int32_t digits = lengthBytes;
    switch (encoding) {
        case LengthEncoding::Binary:
            return lengthBytes <= 2 ? 0xFF : 0xFFFF;
        case LengthEncoding::Bcd:
            digits = 2 * LengthPrefixWireBytes(encoding, lengthBytes);
            break;
        case LengthEncoding::Ascii:
        case LengthEncoding::Ebcdic:
        default:
            break;
    }
    int32_t capacity = 1;
    for (int32_t i = 0; i < digits; ++i) {
        capacity *= 10;
    }
    return capacity - 1;
}

bool ReadLengthPrefixAs(LengthEncoding encoding, const unsigned char* wire, int32_t lengthBytes,
                        int32_t* length) {
    const int32_t bytes = LengthPrefixWireBytes(encoding, lengthBytes);
    int32_t value = 0;
    for (int32_t i = 0; i < bytes; ++i) {
        const unsigned byte = wire[i];
        switch (encoding) {
            case LengthEncoding::Binary:
                value = value * 256 + static_cast<int32_t>(byte);
                break;
            case LengthEncoding::Bcd:
                if ((byte >> 4) > 9 || (byte & 0x0Fu) > 9) {
                    return false;
                }
                value = value * 100 + static_cast<int32_t>((byte >> 4) * 10 + (byte & 0x0Fu));
                break;
            case LengthEncoding::Ebcdic:
            case LengthEncoding::Ascii:
            default: {
                const unsigned zero = encoding == LengthEncoding::Ebcdic ? EBCDIC_ZERO : '0';
                if (byte < zero || byte > zero + 9) {
                    return false;
                }
                value = value * 10 + static_cast<int32_t>(byte - zero);
                break;
            }
        }
    }
    *length = value;
    return true;
}

void WriteLengthPrefixAs(LengthEncoding encoding, unsigned char* wire, int32_t lengthBytes,
                         int32_t length) {
    const int32_t bytes = LengthPrefixWireBytes(encoding, lengthBytes);
    uint32_t rest = static_cast<uint32_t>(length);
    for (int32_t i = bytes - 1; i >= 0; --i) {
        switch (encoding) {
            case LengthEncoding::Binary:
                wire[i] = static_cast<unsigned char>(rest & 0xFFu);
                rest >>= 8;
                break;
            case LengthEncoding::Bcd:
                wire[i] = static_cast<unsigned char>(((rest / 10) % 10) << 4 | rest % 10);
                rest /= 100;
                break;
            case LengthEncoding::Ebcdic:
            case LengthEncoding::Ascii:
            default: {
                const unsigned zero = encoding == LengthEncoding::Ebcdic ? EBCDIC_ZERO : '0';
                wire[i] = static_cast<unsigned char>(zero + rest % 10);
                rest /= 10;
                break;
            }
        }
    }
}
