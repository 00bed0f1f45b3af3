#include "vksoc/codec/length_prefix.h"

namespace {

bool IsWhiteSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int32_t ParseLengthPrefix(const unsigned char* text, int width) {
    int i = 0;
    while (i < width && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < width && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // One past INT32_MAX so that INT32_MIN stays reachable; beyond it the
    // value is held at the limit instead of overflowing.
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; i < width && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}

bool LengthFitsDigits(int32_t value, int width) {
    int64_t bound = 1;  // 10 to the power of width, held once past INT32_MAX
    for (int i = 0; i < width && bound <= INT32_MAX; ++i) {
        bound *= 10;
    }
    return value >= 0 && value < bound;
}

void FormatLengthPrefix(unsigned char* out, int width, int32_t value) {
    uint32_t rest = static_cast<uint32_t>(value);
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<unsigned char>('0' + rest % 10);
        rest /= 10;
    }
}
