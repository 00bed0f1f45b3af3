#pragma once

#include "platform/clock.h"

// Pins the clock and pid for the life of the object: 9 December 2026,
// 14:03:27, pid 312, unless told otherwise.
class PinnedClock {
  public:
    explicit PinnedClock(LocalTime time = LocalTime{126, 12, 9, 14, 3, 27}, int pid = 312) {
        PinLocalTime(&time);
        PinProcessId(pid);
    }
    ~PinnedClock() {
        PinLocalTime(nullptr);
        PinProcessId(0);
    }
    void Set(LocalTime time) { PinLocalTime(&time); }
};
