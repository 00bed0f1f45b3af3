#pragma once

#include <cstdint>

// A clock for waits and wake times: milliseconds that only ever go forward,
// from an arbitrary origin (not the time of day).
int64_t SteadyMilliseconds();

// Waits ms milliseconds, or less when a stop is requested (stop_request.h)
// meanwhile: the wait then ends within about 50 ms.
void SleepMilliseconds(int ms);
