#pragma once

#include <cstddef>
#include <string_view>

// Text in an XML document, for text content and attribute values alike:
// '&', '<', '>', '"' and '\'' become entities; characters XML 1.0 does not
// allow (controls other than tab, line feed and carriage return) and bytes
// outside ASCII become "\xHH", so that the document is UTF-8 whatever the
// bytes were.

namespace conform {

// A growing text in caller's storage: what does not fit is cut, at a whole
// character or entity.
struct TextBuffer {
    char* data;
    size_t room;
    size_t used = 0;
    bool cut = false;

    void Put(std::string_view text);
    void PutXml(std::string_view text);
    void PutNumber(long long value);
    std::string_view view() const { return {data, used}; }
};

}  // namespace conform
