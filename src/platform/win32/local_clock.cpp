#include <time.h>
#include <windows.h>

#include "platform/clock.h"

LocalTime ReadLocalClock() {
    time_t now = time(nullptr);
    struct tm parts {};
    localtime_s(&parts, &now);
    return LocalTime{parts.tm_year, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min,     parts.tm_sec};
}

int ReadProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}
