#include "conform/xml_text.h"

#include <cstdio>
#include <cstring>

namespace conform {

void TextBuffer::Put(std::string_view text) {
    if (cut || text.size() > room - used) {
        cut = true;
        return;
    }
    std::memcpy(data + used, text.data(), text.size());
    used += text.size();
}

namespace {

bool PlainInXml(unsigned char c) {
    return (c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'') ||
           c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

void TextBuffer::PutXml(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        // Runs of characters that stand for themselves go in one copy.
        size_t plain = i;
        while (plain < text.size() && PlainInXml(static_cast<unsigned char>(text[plain]))) {
            ++plain;
        }
        if (plain > i) {
            Put(text.substr(i, plain - i));
            i = plain;
            continue;
        }
        const char c = text[i++];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                Put("&amp;");
                break;
            case '<':
                Put("&lt;");
                break;
            case '>':
                Put("&gt;");
                break;
            case '"':
                Put("&quot;");
                break;
            case '\'':
                Put("&apos;");
                break;
            default:
                if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte >= 0x7F) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                    Put(hex);
                } else {
                    Put(std::string_view(&c, 1));
                }
        }
    }
}

void TextBuffer::PutNumber(long long value) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", value);
    Put(std::string_view(digits, static_cast<size_t>(length)));
}

}  // namespace conform
