#include "vkstp/tag_line.h"

#include <cstring>

void SplitTagLine(const char* line, char* tag, char* value) {
    tag[0] = '\0';
    value[0] = '\0';
    const char* open = std::strchr(line, '<');
    const char* close = std::strchr(line, '>');
    if (open == nullptr || close == nullptr || close < open) {
        return;
    }
    size_t t = 0;
    for (const char* p = open + 1; p < close; ++p) {
        char c = *p;
        tag[t++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    tag[t] = '\0';
    size_t v = 0;
    for (const char* p = close + 1; *p != '\0' && *p != '\n'; ++p) {
        value[v++] = *p;
    }
    value[v] = '\0';
}
