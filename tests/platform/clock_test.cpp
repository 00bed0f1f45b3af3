#include "platform/clock.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(Clock, PinnedTimeAndPidAreReturnedUntilUnpinned) {
    LocalTime pinned{126, 12, 9, 14, 3, 27};
    PinLocalTime(&pinned);
    PinProcessId(312);
    LocalTime now = CurrentLocalTime();
    EXPECT_EQ(now.yearsSince1900, 126);
    EXPECT_EQ(now.day, 9);
    EXPECT_EQ(now.second, 27);
    EXPECT_EQ(CurrentProcessId(), 312);

    PinLocalTime(nullptr);
    PinProcessId(0);
    EXPECT_EQ(CurrentProcessId(), static_cast<int>(getpid()));
    LocalTime real = CurrentLocalTime();
    EXPECT_GE(real.yearsSince1900, 126);
    EXPECT_GE(real.month, 1);
    EXPECT_LE(real.month, 12);
}

}  // namespace
