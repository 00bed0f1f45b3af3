#include "vksoc/port/framing_words.h"

#include <cstdio>

namespace {

const char* HeaderWords(const Framing& framing) {
    switch (framing.kind) {
        case FramingKind::None:
            return "no length header";
        case FramingKind::Decimal:
            switch (framing.headerLength) {
                case 1:
                    return "1 ASCII decimal digit of length";
                case 2:
                    return "2 ASCII decimal digits of length";
                case 3:
                    return "3 ASCII decimal digits of length";
                default:
                    return "4 ASCII decimal digits of length";
            }
        case FramingKind::Bin2:
            return "2-byte binary length, big-endian";
        case FramingKind::Bin2Le:
            return "2-byte binary length, little-endian";
        case FramingKind::Bin4:
            return "4-byte binary length, big-endian";
        case FramingKind::Bcd2:
            return "2-byte packed BCD length (0-9999)";
        case FramingKind::Hex4:
            return "4 hexadecimal ASCII characters of length";
        case FramingKind::Vmlh:
            return "2-byte binary length, big-endian, then 2 reserved bytes (00 00)";
    }
    return "?";
}

// Appends to out at *used, keeping it NUL-terminated and within size.
void Append(char* out, size_t size, size_t* used, const char* format, const char* text) {
    if (*used >= size) {
        return;
    }
    const int n = std::snprintf(out + *used, size - *used, format, text);
    if (n > 0) {
        *used += static_cast<size_t>(n);
        if (*used >= size) {
            *used = size - 1;
        }
    }
}

void HexOf(const unsigned char* bytes, int count, char* out) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        out[2 * i] = DIGITS[bytes[i] >> 4];
        out[2 * i + 1] = DIGITS[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
}

}  // namespace

void DescribeFraming(const Framing& framing, char* out, size_t size) {
    if (size == 0) {
        return;
    }
    out[0] = '\0';
    size_t used = 0;
    Append(out, size, &used, "%s", HeaderWords(framing));
    Append(out, size, &used, " (%s)", FramingKindName(framing));
    if (framing.kind == FramingKind::None) {
        return;
    }
    if (framing.countsItself != 0) {
        Append(out, size, &used, "%s", ", counting itself");
    }
    char hex[2 * MAX_FRAME_TRAILER + 1];
    if (framing.tpduLength > 0) {
        HexOf(framing.tpdu, framing.tpduLength, hex);
        Append(out, size, &used, "; TPDU %s, answered with its addresses swapped", hex);
    }
    if (framing.trailerLength > 0) {
        HexOf(framing.trailer, framing.trailerLength, hex);
        Append(out, size, &used, "; trailer %s", hex);
    }
    switch (framing.keepAlive) {
        case KeepAlive::Ignore:
            Append(out, size, &used, "%s", "; keep-alives (length 0) passed over");
            break;
        case KeepAlive::Echo:
            Append(out, size, &used, "%s", "; keep-alives (length 0) echoed");
            break;
        case KeepAlive::None:
            break;
    }
}
