#include "diag/log_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/card_mask.h"
#include "os_files.h"

void BuildLogFilePath(char (&path)[LOG_PATH_SIZE], const char* prefix, const LocalTime& time) {
    std::snprintf(path, sizeof path, "../log/%s%02d%02d%02d.log", prefix, time.day, time.month,
                  time.yearsSince1900);
}

void ReadLogPrefix(char (&prefix)[4], const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr) {
        value = "EVT";
    }
    size_t length = strnlen(value, 3);
    // "../" or "C:" would put the log outside the log folder, or on Windows
    // into a stream of another file.
    for (size_t i = 0; i < length; ++i) {
        if (value[i] == '/' || value[i] == '\\' || value[i] == ':') {
            value = "EVT";
            length = 3;
            break;
        }
    }
    std::memcpy(prefix, value, length);
    prefix[length] = '\0';
}

FILE* OpenLogFile(const char* path) {
    return plat::OpenAppending(path, MaskPanOn());
}

void ReportLostRecord(const char* path) {
    std::fprintf(stderr, "Error writing '%s': %d\n", path, errno);
}
