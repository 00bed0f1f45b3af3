#include "platform/steady_clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/stop_request.h"

int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMilliseconds(int ms) {
    // In slices, so that a stop request from a signal or console handler is
    // seen on every platform without interrupting the sleep itself.
    constexpr int64_t kSliceMs = 50;
    const int64_t deadline = SteadyMilliseconds() + ms;
    for (int64_t left = ms; left > 0 && !StopRequested(); left = deadline - SteadyMilliseconds()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
    }
}
