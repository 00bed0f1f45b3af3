#include "vksoc/port/hex_framing.h"

#include "vksoc/codec/hex_value.h"

HeaderValue ReadHexHeader(const unsigned char* header) {
    int64_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexDigitValue(static_cast<char>(header[i]));
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
