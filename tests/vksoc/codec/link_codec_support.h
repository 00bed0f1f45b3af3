#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "codec_test_support.h"
#include "layout_0200.h"
#include "vkstp/link_record.h"

// Link records and hexadecimal texts for the tests of the encodings.

inline LinkRecord PlainLinkRecord() {
    LinkRecord link;
    std::memset(&link, 0, sizeof link);
    std::memcpy(link.CONTROLLER_ID, "T01", 4);
    return link;
}

inline void SetFieldEncodings(LinkRecord& link, int n, ValueEncoding value,
                              LengthEncoding length = LengthEncoding::Ascii) {
    link.fields[n - 1].ENCODING = static_cast<uint8_t>(value);
    link.fields[n - 1].LENGTH_ENCODING = static_cast<uint8_t>(length);
}

// "15 03 78" -> the bytes; blanks are left out.
inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            bytes += static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    return bytes;
}

// The bytes as "15 03 78".
inline std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (!hex.empty()) {
            hex += ' ';
        }
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}
