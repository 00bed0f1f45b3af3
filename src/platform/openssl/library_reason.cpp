#include <openssl/err.h>

#include "tls_openssl.h"

namespace plat {

void TakeLibraryReason(char* text, int size, const char* otherwise) {
    const unsigned long code = ERR_peek_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    if (reason != nullptr) {
        std::snprintf(text, static_cast<size_t>(size), "%s", reason);
    } else if (code != 0) {
        ERR_error_string_n(code, text, static_cast<size_t>(size));
    } else {
        std::snprintf(text, static_cast<size_t>(size), "%s", otherwise);
    }
    ERR_clear_error();
}

}  // namespace plat
