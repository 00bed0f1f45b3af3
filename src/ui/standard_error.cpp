#include "ui/standard_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace ui {

void SayOnStandardError(const char* format, ...) {
    static constexpr char kLead[] = "VELK Tester: ";
    char line[2048];
    std::memcpy(line, kLead, sizeof kLead - 1);
    size_t room = sizeof line - (sizeof kLead - 1) - 1;  // keep one byte for the line end
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line + sizeof kLead - 1, room, format, args);
    va_end(args);
    size_t written = n < 0 ? 0 : static_cast<size_t>(n);
    if (written >= room) {
        written = room - 1;  // cut: vsnprintf wrote room - 1 characters and a NUL
    }
    size_t length = sizeof kLead - 1 + written;
    line[length++] = '\n';
    std::fwrite(line, 1, length, stderr);
    std::fflush(stderr);
}

}  // namespace ui
