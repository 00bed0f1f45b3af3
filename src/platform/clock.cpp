#include "platform/clock.h"

namespace {
bool timePinned = false;
LocalTime pinnedTime{};
int pinnedPid = 0;
}  // namespace

LocalTime CurrentLocalTime() {
    return timePinned ? pinnedTime : ReadLocalClock();
}

int CurrentProcessId() {
    return pinnedPid != 0 ? pinnedPid : ReadProcessId();
}

void PinLocalTime(const LocalTime* time) {
    timePinned = time != nullptr;
    if (time != nullptr) {
        pinnedTime = *time;
    }
}

void PinProcessId(int pid) {
    pinnedPid = pid;
}
