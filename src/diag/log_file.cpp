#include "diag/log_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    std::memcpy(prefix, value, length);
    prefix[length] = '\0';
}
