#include <time.h>
#include <unistd.h>

#include "platform/clock.h"

LocalTime ReadLocalClock() {
    time_t now = time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min,     parts.tm_sec};
}

int ReadProcessId() {
    return static_cast<int>(getpid());
}
