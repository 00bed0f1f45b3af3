#include "diag/log_text.h"

const char* LogSafeText(const void* bytes, size_t length, char* out, size_t outSize) {
    static const char kHex[] = "0123456789abcdef";
    const auto* in = static_cast<const unsigned char*>(bytes);
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = in[i];
        const bool plain = c >= 0x20 && c <= 0x7E && c != '\\';
        const size_t need = plain ? 1 : 4;
        if (at + need >= outSize) {
            break;
        }
        if (plain) {
            out[at++] = static_cast<char>(c);
        } else {
            out[at++] = '\\';
            out[at++] = 'x';
            out[at++] = kHex[c >> 4];
            out[at++] = kHex[c & 0x0F];
        }
    }
    if (outSize > 0) {
        out[at] = '\0';
    }
    return out;
}
