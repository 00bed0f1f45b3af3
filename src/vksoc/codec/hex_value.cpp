#include "vksoc/codec/hex_value.h"

int HexDigitValue(char c) {
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

int32_t BytesToHex(const unsigned char* bytes, int32_t length, char* out) {
    static const char DIGITS[] = "0123456789ABCDEF";
    for (int32_t i = 0; i < length; ++i) {
        out[2 * i] = DIGITS[bytes[i] >> 4];
        out[2 * i + 1] = DIGITS[bytes[i] & 0x0F];
    }
    return length > 0 ? 2 * length : 0;
}

int32_t HexToBytes(const char* text, int32_t length, unsigned char* out) {
    if (length < 0 || length % 2 != 0) {
        return -1;
    }
    for (int32_t i = 0; i < length / 2; ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return -1;
        }
        out[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return length / 2;
}
