#pragma once

// Local time and process id as the logs print them. Tests pin both so that
// file names and records can be compared byte for byte.

struct LocalTime {
    int yearsSince1900;  // 126 in 2026: file names print it as it is
    int month;           // 1 to 12
    int day;             // 1 to 31
    int hour;            // 0 to 23
    int minute;
    int second;
};

LocalTime CurrentLocalTime();
int CurrentProcessId();

// Pinning: a non-null time (a non-zero pid) is returned by every later call
// until it is unpinned with null (0).
void PinLocalTime(const LocalTime* time);
void PinProcessId(int pid);

// Backend: the real clock and pid.
LocalTime ReadLocalClock();
int ReadProcessId();
