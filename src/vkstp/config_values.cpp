#include "vkstp/config_values.h"

#include <cstring>

void StoreText(char* field, int width, const char* value) {
    std::strncpy(field, value, static_cast<size_t>(width));
    field[width] = '\0';
}

int32_t ConvertNumber(const char* value) {
    const char* p = value;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}

uint16_t ConvertNumber16(const char* value) {
    return static_cast<uint16_t>(static_cast<uint32_t>(ConvertNumber(value)) & 0xFFFFu);
}

char ConvertCharacter(const char* value) {
    return value[0];
}
