#include "vksoc/port/decimal_framing.h"

#include "vksoc/codec/length_prefix.h"

FrameHeader ParseDecimalHeader(int width, const unsigned char* header, int count, int maxBody) {
    if (count < width) {
        return {HeaderOutcome::NeedMore, 0};
    }
    const int32_t length = ParseLengthPrefix(header, width);
    if (length < 1 || length > maxBody) {
        return {HeaderOutcome::Malformed, length};
    }
    return {HeaderOutcome::Length, length};
}

bool WriteDecimalHeader(int width, unsigned char* out, int bodyLength) {
    if (!LengthFitsDigits(bodyLength, width)) {
        return false;
    }
    FormatLengthPrefix(out, width, bodyLength);
    return true;
}
