#include "vksoc/port/binary_framing.h"

namespace {

int64_t BigEndian(const unsigned char* bytes, int count) {
    int64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

void PutBigEndian(unsigned char* out, int count, int64_t value) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

}  // namespace

HeaderValue ReadBinaryHeader(FramingKind kind, const unsigned char* header) {
    switch (kind) {
        case FramingKind::Bin2Le:
            return {HeaderFault::None, int64_t{header[1]} << 8 | header[0]};
        case FramingKind::Bin4:
            return {HeaderFault::None, BigEndian(header, 4)};
        default:
            return {HeaderFault::None, BigEndian(header, 2)};
    }
}

bool WriteBinaryHeader(FramingKind kind, unsigned char* out, int64_t value) {
    const int64_t limit = kind == FramingKind::Bin4 ? int64_t{0xFFFFFFFF} : int64_t{0xFFFF};
    if (value < 0 || value > limit) {
        return false;
    }
    switch (kind) {
        case FramingKind::Bin2Le:
            out[0] = static_cast<unsigned char>(value & 0xFF);
            out[1] = static_cast<unsigned char>(value >> 8);
            break;
        case FramingKind::Bin4:
            PutBigEndian(out, 4, value);
            break;
        case FramingKind::Vmlh:
            PutBigEndian(out, 2, value);
            out[2] = 0;
            out[3] = 0;
            break;
        default:
            PutBigEndian(out, 2, value);
            break;
    }
    return true;
}
