#pragma once

#include <cstddef>

#include "platform/clock.h"

// The daily log file: "../log/" + prefix + day, month and years since 1900
// (126 in 2026, so "EVT0912126.log" on 9 December 2026), relative to the
// working directory. Error records and dumps share the pattern.
inline constexpr size_t LOG_PATH_SIZE = 64;

void BuildLogFilePath(char (&path)[LOG_PATH_SIZE], const char* prefix, const LocalTime& time);

// Fills prefix (4 bytes) from the environment variable: its first 3
// characters when it is set, "EVT" when it is not.
void ReadLogPrefix(char (&prefix)[4], const char* variable);
