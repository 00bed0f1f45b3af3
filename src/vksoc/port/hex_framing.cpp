#include "vksoc/port/hex_framing.h"

namespace {

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

HeaderValue ReadHexHeader(const unsigned char* header) {
    int64_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexDigit(header[i]);
        if (digit < 0) {
            return {HeaderFault::NotHex, -1};
        }
        value = value << 4 | digit;
    }
    return {HeaderFault::None, value};
}

bool WriteHexHeader(unsigned char* out, int64_t value) {
    if (value < 0 || value > 0xFFFF) {
        return false;
    }
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    for (int i = 3; i >= 0; --i) {
        out[i] = static_cast<unsigned char>(DIGITS[value & 0xF]);
        value >>= 4;
    }
    return true;
}
