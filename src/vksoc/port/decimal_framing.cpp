#include "vksoc/port/decimal_framing.h"

#include "vksoc/codec/length_prefix.h"

HeaderValue ReadDecimalHeader(int width, const unsigned char* header) {
    return {HeaderFault::None, ParseLengthPrefix(header, width)};
}

bool WriteDecimalHeader(int width, unsigned char* out, int64_t value) {
    if (value > INT32_MAX || !LengthFitsDigits(static_cast<int32_t>(value), width)) {
        return false;
    }
    FormatLengthPrefix(out, width, static_cast<int32_t>(value));
    return true;
}
