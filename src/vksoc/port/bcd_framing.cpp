#include "vksoc/port/bcd_framing.h"

HeaderValue ReadBcdHeader(const unsigned char* header) {
    int64_t value = 0;
    for (int i = 0; i < 2; ++i) {
        const int high = header[i] >> 4;
        const int low = header[i] & 0x0F;
        if (high > 9 || low > 9) {
            return {HeaderFault::NotBcd, -1};
        }
        value = value * 100 + high * 10 + low;
    }
    return {HeaderFault::None, value};
}

bool WriteBcdHeader(unsigned char* out, int64_t value) {
    if (value < 0 || value > 9999) {
        return false;
    }
    const int v = static_cast<int>(value);
    out[0] = static_cast<unsigned char>((v / 1000) << 4 | (v / 100) % 10);
    out[1] = static_cast<unsigned char>(((v / 10) % 10) << 4 | v % 10);
    return true;
}
