#include "diag/card_mask.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int KEEP_FIRST = 6;
constexpr int KEEP_LAST = 4;

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

void MaskNumber(unsigned char* number, int length) {
    for (int i = KEEP_FIRST; i < length - KEEP_LAST; ++i) {
        number[i] = '*';
    }
}

}  // namespace

bool MaskPanOn() {
    const char* value = std::getenv("DUMP_MASK_PAN");
    return value != nullptr && (value[0] == 'Y' || value[0] == 'y');
}

bool IsCardDataField(int n) {
    return n == 2 || n == 35 || n == 45;
}

void MaskCardField(int n, const unsigned char* value, int length, unsigned char* out) {
    if (length <= 0) {
        return;
    }
    std::memcpy(out, value, static_cast<size_t>(length));
    if (n == 2) {
        MaskNumber(out, length);
        return;
    }
    if (!IsCardDataField(n)) {
        return;
    }
    int start = 0;
    while (start < length && !IsDigit(out[start])) {
        ++start;
    }
    int end = start;
    while (end < length && IsDigit(out[end])) {
        ++end;
    }
    MaskNumber(out + start, end - start);
    for (int i = end + 1; i < length; ++i) {
        out[i] = '*';
    }
}
